#include "Graph.h"

#include "Data.h"
#include "GraphFont.h"
#include "GraphPrivate.h"
#include "PropertyStore.h"

#include <QGlyphRun>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QRawFont>
#include <QResizeEvent>

#include <algorithm>
#include <array>

namespace tvGraph {

PointerShape::PointerShape(QWidget* parent) : QWidget(parent)
{
    // The marker sits right at the pointer; it must never take the events meant for the control below it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PointerShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 0, 0));
    p.drawRect(rect());
}

Graph::Private::Private(Graph* owner) : q(owner), dataSeries(new Data)
{
    // A new control shares one object per font pair, so a change through one property shows in its partner.
    axisXFont = std::make_shared<GraphFont>(QStringLiteral("Arial"), 8.0f, false, 204);
    axisYFont = axisXFont;
    axisXCaptionFont = std::make_shared<GraphFont>(QStringLiteral("Arial"), 10.0f, true, 204);
    axisYCaptionFont = axisXCaptionFont;

    labelFont = GraphFont(QStringLiteral("Arial"), 8.0f).toQFont();
    labelBoldFont = labelFont;
    labelBoldFont.setBold(true);
    PointLabel templ;
    templ.caption = QStringLiteral("point label");
    labels.push_back(templ);
}

QColor Graph::Private::background() const
{
    // The control's back colour is the system button face, as a user control's is by default.
    return q->palette().color(QPalette::Button);
}

void Graph::Private::ensureImage()
{
    const qreal dpr = q->devicePixelRatioF();
    const QSize logical = q->size().expandedTo(QSize(1, 1));
    const QSize device = (QSizeF(logical) * dpr).toSize();
    if (!image.isNull() && image.size() == device && image.devicePixelRatio() == dpr)
        return;
    QImage resized(device, QImage::Format_RGB32);
    resized.setDevicePixelRatio(dpr);
    // Text sizes and physical lengths follow the screen's resolution, so the image reports the same one.
    resized.setDotsPerMeterX(qRound(q->logicalDpiX() / 0.0254));
    resized.setDotsPerMeterY(qRound(q->logicalDpiY() / 0.0254));
    resized.fill(background());
    if (!image.isNull()) {
        QPainter p(&resized);
        p.drawImage(QPointF(0, 0), image);
    }
    image = resized;
}

void Graph::Private::placeHeader()
{
    const ScaleMap map = q->scaleMap();
    const CoordinateFrame& f = map.frame();
    const double widthUnits = map.pixelsToUnitsX(header->width());
    // Centred; the top is 50 units below the frame's top when y grows upwards (after a Plot), and 50 twips
    // above the top edge in the twips system of a control that has not plotted yet.
    const double left = f.left + f.width / 2 - widthUnits / 2;
    const double top = f.top - 50;
    header->move(map.toPixel(QPointF(left, top)));
}

void Graph::Private::reportError(const GraphError& error) const
{
    if (errorReporter) {
        errorReporter(error);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("tvGraph"), error.text(), QMessageBox::Ok, q);
    box.exec();
}

Graph::Graph(QWidget* parent) : QWidget(parent), d(std::make_unique<Private>(this))
{
    setMouseTracking(true);
    // The backing image covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);

    d->header = new QLabel(QStringLiteral("Header"), this);
    d->header->setObjectName(QStringLiteral("lblHeader"));
    QFont headerFont = GraphFont(QStringLiteral("Arial"), 14.25f, true).toQFont();
    d->header->setFont(headerFont);
    d->header->setText(d->headerCaption);
    d->header->adjustSize();

    d->status = new QLabel(this);
    d->status->setObjectName(QStringLiteral("lblStatus"));
    d->status->setAttribute(Qt::WA_TransparentForMouseEvents);
    d->status->setAutoFillBackground(true);
    QPalette tip = d->status->palette();
    tip.setColor(QPalette::Window, palette().color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, palette().color(QPalette::ToolTipText));
    d->status->setPalette(tip);
    d->status->setFrameShape(QFrame::Box);
    d->status->hide();

    d->pointer = new PointerShape(this);
    d->pointer->setObjectName(QStringLiteral("shpPointer"));
    // Twice the 60 by 50 HIMETRIC offset of its placement, so the shape is centred on the pointer.
    d->pointer->resize(std::max(5, qRound(120 * logicalDpiX() / 2540.0)),
                       std::max(5, qRound(100 * logicalDpiY() / 2540.0)));
    d->pointer->hide();

    d->placeHeader();
}

Graph::~Graph() = default;

std::shared_ptr<Data> Graph::DataSeries() const
{
    return d->dataSeries;
}

QImage Graph::GraphImage() const
{
    d->ensureImage();
    return d->image;
}

OleColor Graph::AxisXCaptionColor() const
{
    return d->axisXCaptionColor;
}

void Graph::setAxisXCaptionColor(OleColor color)
{
    d->axisXCaptionColor = color;
    d->markChanged("AxisXCaptionColor");
}

DashStyle Graph::LineStyle() const
{
    return d->lineStyle;
}

void Graph::setLineStyle(DashStyle style)
{
    d->lineStyle = style;
    d->markChanged("LineStyle");
}

std::shared_ptr<GraphFont> Graph::AxisYCaptionFont() const
{
    return d->axisYCaptionFont;
}

void Graph::setAxisYCaptionFont(std::shared_ptr<GraphFont> font)
{
    d->axisYCaptionFont = std::move(font);
    d->markChanged("AxisYCaptionFont");
}

std::shared_ptr<GraphFont> Graph::AxisXCaptionFont() const
{
    return d->axisXCaptionFont;
}

void Graph::setAxisXCaptionFont(std::shared_ptr<GraphFont> font)
{
    d->axisXCaptionFont = std::move(font);
    d->markChanged("AxisXCaptionFont");
}

std::shared_ptr<GraphFont> Graph::AxisYFont() const
{
    return d->axisYFont;
}

void Graph::setAxisYFont(std::shared_ptr<GraphFont> font)
{
    d->axisYFont = std::move(font);
    d->markChanged("AxisYFont");
}

std::shared_ptr<GraphFont> Graph::AxisXFont() const
{
    return d->axisXFont;
}

void Graph::setAxisXFont(std::shared_ptr<GraphFont> font)
{
    d->axisXFont = std::move(font);
    d->markChanged("AxisXFont");
}

float Graph::GraphScaleHeight() const
{
    return d->graphScaleHeight;
}

void Graph::setGraphScaleHeight(float value)
{
    d->graphScaleHeight = value;
    d->markChanged("GraphScaleHeight");
}

float Graph::GraphScaleWidth() const
{
    return d->graphScaleWidth;
}

void Graph::setGraphScaleWidth(float value)
{
    d->graphScaleWidth = value;
    d->markChanged("GraphScaleWidth");
}

QString Graph::AxisXCaption() const
{
    return d->axisXCaption;
}

void Graph::setAxisXCaption(const QString& text)
{
    d->axisXCaption = text;
    d->markChanged("AxisXCaption");
}

QString Graph::AxisYCaption() const
{
    return d->axisYCaption;
}

void Graph::setAxisYCaption(const QString& text)
{
    d->axisYCaption = text;
    d->markChanged("AxisYCaption");
}

QString Graph::HeaderCaption() const
{
    return d->headerCaption;
}

void Graph::setHeaderCaption(const QString& text)
{
    d->headerCaption = text;
    d->header->setText(text);
    d->header->adjustSize();
    d->markChanged("HeaderCaption");
}

QString Graph::ConnectionString() const
{
    return d->connectionString;
}

void Graph::setConnectionString(const QString& text)
{
    d->connectionString = text;
    d->markChanged("ConnectionString");
}

QString Graph::TableName() const
{
    return d->tableName;
}

void Graph::setTableName(const QString& name)
{
    d->tableName = name;
    d->markChanged("TableName");
}

QString Graph::FieldNameID() const
{
    return d->fieldNameID;
}

void Graph::setFieldNameID(const QString& name)
{
    d->fieldNameID = name;
    d->markChanged("FieldNameID");
}

QString Graph::FieldNameAxisX() const
{
    return d->fieldNameAxisX;
}

void Graph::setFieldNameAxisX(const QString& name)
{
    d->fieldNameAxisX = name;
    d->markChanged("FieldNameAxisX");
}

QString Graph::FieldNameAxisY() const
{
    return d->fieldNameAxisY;
}

void Graph::setFieldNameAxisY(const QString& name)
{
    d->fieldNameAxisY = name;
    d->markChanged("FieldNameAxisY");
}

OleColor Graph::AxisYCaptionColor() const
{
    return d->axisYCaptionColor;
}

void Graph::setAxisYCaptionColor(OleColor color)
{
    d->axisYCaptionColor = color;
    d->markChanged("AxisYCaptionColor");
}

bool Graph::ShowLabels() const
{
    return d->showLabels;
}

void Graph::setShowLabels(bool on)
{
    d->showLabels = on;
    d->markChanged("ShowLabels");
}

bool Graph::ShowPoints() const
{
    return d->showPoints;
}

void Graph::setShowPoints(bool on)
{
    d->showPoints = on;
    d->markChanged("ShowPoints");
}

bool Graph::MovePointMode() const
{
    return d->movePointMode;
}

void Graph::setMovePointMode(bool on)
{
    d->movePointMode = on;
    d->markChanged("MovePointMode");
}

bool Graph::ShowCrossPointMode() const
{
    return d->showCrossPointMode;
}

void Graph::setShowCrossPointMode(bool on)
{
    d->showCrossPointMode = on;
    d->markChanged("ShowCrossPointMode");
}

OleColor Graph::PointColor() const
{
    return d->pointColor;
}

void Graph::setPointColor(OleColor color)
{
    d->pointColor = color;
    d->markChanged("PointColor");
}

bool Graph::ShowHeaderMode() const
{
    return d->showHeaderMode;
}

void Graph::setShowHeaderMode(bool on)
{
    d->showHeaderMode = on;
    d->header->setVisible(on);
    d->markChanged("ShowHeaderMode");
}

QString Graph::FieldNameSeriesID() const
{
    return d->fieldNameSeriesID;
}

void Graph::setFieldNameSeriesID(const QString& name)
{
    d->fieldNameSeriesID = name;
    d->markChanged("FieldNameSeriesID");
}

QString Graph::TopCaption() const
{
    return d->topCaption;
}

void Graph::setTopCaption(const QString& text)
{
    // Trimmed so that a caption of blanks counts as none and draws nothing.
    d->topCaption = text.trimmed();
    d->markChanged("TopCaption");
}

namespace {

const GraphFont CaptionFontDefault(QStringLiteral("Arial"), 10.0f);
const GraphFont AxisFontDefault(QStringLiteral("Arial"), 8.0f);

} // namespace

bool Graph::ReadProperties(const PropertyStore& store, GraphError* error)
{
    // Each value is applied as soon as it is read, so a failure keeps everything read before it.
    float single = 0;
    QString text;
    qint32 number = 0;
    bool flag = false;
    std::shared_ptr<GraphFont> font;

    if (!store.readSingle(QStringLiteral("GraphScaleHeight"), -900, &single, error))
        return false;
    d->graphScaleHeight = single;
    if (!store.readSingle(QStringLiteral("GraphScaleWidth"), 1800, &single, error))
        return false;
    d->graphScaleWidth = single;
    if (!store.readString(QStringLiteral("AxisXCaption"), QStringLiteral("Scale X"), &text, error))
        return false;
    d->axisXCaption = text;
    if (!store.readString(QStringLiteral("AxisYCaption"), QStringLiteral("Scale Y"), &text, error))
        return false;
    d->axisYCaption = text;
    if (!store.readString(QStringLiteral("HeaderCaption"), QStringLiteral("Simple Graph"), &text, error))
        return false;
    setHeaderCaption(text); // through the setter, so lblHeader shows it
    if (!store.readString(QStringLiteral("ConnectionString"), QString(), &text, error))
        return false;
    d->connectionString = text;
    if (!store.readString(QStringLiteral("TableName"), QString(), &text, error))
        return false;
    d->tableName = text;
    if (!store.readString(QStringLiteral("FieldNameID"), QString(), &text, error))
        return false;
    d->fieldNameID = text;
    if (!store.readString(QStringLiteral("FieldNameAxisX"), QString(), &text, error))
        return false;
    d->fieldNameAxisX = text;
    if (!store.readString(QStringLiteral("FieldNameAxisY"), QString(), &text, error))
        return false;
    d->fieldNameAxisY = text;
    if (!store.readLong(QStringLiteral("AxisXCaptionColor"), 0, &number, error))
        return false;
    d->axisXCaptionColor = static_cast<OleColor>(number);
    // Absent reads as solid although a new control starts dotted: a saved dotted control wrote its 2.
    if (!store.readLong(QStringLiteral("LineStyle"), 0, &number, error))
        return false;
    d->lineStyle = static_cast<DashStyle>(number);
    if (!store.readFont(QStringLiteral("AxisXCaptionFont"), CaptionFontDefault, &font, error))
        return false;
    d->axisXCaptionFont = font;
    if (!store.readFont(QStringLiteral("AxisYCaptionFont"), CaptionFontDefault, &font, error))
        return false;
    d->axisYCaptionFont = font;
    if (!store.readFont(QStringLiteral("AxisXFont"), AxisFontDefault, &font, error))
        return false;
    d->axisXFont = font;
    if (!store.readFont(QStringLiteral("AxisYFont"), AxisFontDefault, &font, error))
        return false;
    d->axisYFont = font;
    if (!store.readLong(QStringLiteral("AxisYCaptionColor"), 0, &number, error))
        return false;
    d->axisYCaptionColor = static_cast<OleColor>(number);
    if (!store.readBoolean(QStringLiteral("ShowLabels"), true, &flag, error))
        return false;
    d->showLabels = flag;
    if (!store.readBoolean(QStringLiteral("ShowPoints"), true, &flag, error))
        return false;
    d->showPoints = flag;
    if (!store.readBoolean(QStringLiteral("MovePointMode"), false, &flag, error))
        return false;
    d->movePointMode = flag;
    if (!store.readBoolean(QStringLiteral("ShowCrossPointMode"), false, &flag, error))
        return false;
    d->showCrossPointMode = flag;
    if (!store.readLong(QStringLiteral("PointColor"), 0, &number, error))
        return false;
    d->pointColor = static_cast<OleColor>(number);
    // Stored directly: the header keeps its current visibility until ShowHeaderMode is set again.
    if (!store.readBoolean(QStringLiteral("ShowHeaderMode"), true, &flag, error))
        return false;
    d->showHeaderMode = flag;
    if (!store.readString(QStringLiteral("FieldNameSeriesID"), QString(), &text, error))
        return false;
    d->fieldNameSeriesID = text;
    // Stored directly as well; it was trimmed when it was set before the save.
    if (!store.readString(QStringLiteral("TopCaption"), QString(), &text, error))
        return false;
    d->topCaption = text;
    return true;
}

void Graph::WriteProperties(PropertyStore& store) const
{
    store.writeSingle(QStringLiteral("GraphScaleHeight"), d->graphScaleHeight, -900);
    store.writeSingle(QStringLiteral("GraphScaleWidth"), d->graphScaleWidth, 1800);
    store.writeString(QStringLiteral("AxisXCaption"), d->axisXCaption, QStringLiteral("Scale X"));
    store.writeString(QStringLiteral("AxisYCaption"), d->axisYCaption, QStringLiteral("Scale Y"));
    store.writeString(QStringLiteral("HeaderCaption"), d->headerCaption, QStringLiteral("Simple Graph"));
    store.writeString(QStringLiteral("ConnectionString"), d->connectionString, QString());
    store.writeString(QStringLiteral("TableName"), d->tableName, QString());
    store.writeString(QStringLiteral("FieldNameID"), d->fieldNameID, QString());
    store.writeString(QStringLiteral("FieldNameAxisX"), d->fieldNameAxisX, QString());
    store.writeString(QStringLiteral("FieldNameAxisY"), d->fieldNameAxisY, QString());
    store.writeLong(QStringLiteral("AxisXCaptionColor"), static_cast<qint32>(d->axisXCaptionColor), 0);
    store.writeLong(QStringLiteral("LineStyle"), static_cast<qint32>(d->lineStyle), 0);
    store.writeFont(QStringLiteral("AxisXCaptionFont"), d->axisXCaptionFont.get(), CaptionFontDefault);
    store.writeFont(QStringLiteral("AxisYCaptionFont"), d->axisYCaptionFont.get(), CaptionFontDefault);
    store.writeFont(QStringLiteral("AxisXFont"), d->axisXFont.get(), AxisFontDefault);
    store.writeFont(QStringLiteral("AxisYFont"), d->axisYFont.get(), AxisFontDefault);
    store.writeLong(QStringLiteral("AxisYCaptionColor"), static_cast<qint32>(d->axisYCaptionColor), 0);
    store.writeBoolean(QStringLiteral("ShowLabels"), d->showLabels, true);
    store.writeBoolean(QStringLiteral("ShowPoints"), d->showPoints, true);
    store.writeBoolean(QStringLiteral("MovePointMode"), d->movePointMode, false);
    store.writeBoolean(QStringLiteral("ShowCrossPointMode"), d->showCrossPointMode, false);
    store.writeLong(QStringLiteral("PointColor"), static_cast<qint32>(d->pointColor), 0);
    store.writeBoolean(QStringLiteral("ShowHeaderMode"), d->showHeaderMode, true);
    store.writeString(QStringLiteral("FieldNameSeriesID"), d->fieldNameSeriesID, QString());
    store.writeString(QStringLiteral("TopCaption"), d->topCaption, QString());
}

bool Graph::isPropertyChanged(const QString& name) const
{
    return d->changed.contains(name);
}

QStringList Graph::changedProperties() const
{
    QStringList names(d->changed.cbegin(), d->changed.cend());
    names.sort();
    return names;
}

void Graph::clearChangedProperties()
{
    d->changed.clear();
}

QLabel* Graph::lblHeader() const
{
    return d->header;
}

QLabel* Graph::lblStatus() const
{
    return d->status;
}

QWidget* Graph::shpPointer() const
{
    return d->pointer;
}

qsizetype Graph::labelCount() const
{
    return static_cast<qsizetype>(d->labels.size());
}

const PointLabel& Graph::Label1(qsizetype index) const
{
    return d->labels.at(static_cast<size_t>(index));
}

qint16 Graph::highlightedLabel() const
{
    return d->highlighted;
}

ScaleMap Graph::scaleMap() const
{
    const QSizeF pixels = QSizeF(size()).expandedTo(QSizeF(1, 1));
    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    return ScaleMap(d->frame ? *d->frame : twipsFrame(pixels, dpiX, dpiY), pixels, dpiX, dpiY);
}

void Graph::setErrorReporter(std::function<void(const GraphError&)> reporter)
{
    d->errorReporter = std::move(reporter);
}

QSize Graph::sizeHint() const
{
    return {480, 320};
}

namespace {

// Draws label captions as glyph runs from a table of the ASCII glyphs: captions are short runs of digits and
// punctuation, and skipping the text layout of every caption keeps a repaint of a large series quick.
class CaptionPainter {
public:
    explicit CaptionPainter(const QFont& font) : m_font(font), m_raw(QRawFont::fromFont(font)), m_metrics(font)
    {
        if (!m_raw.isValid())
            return;
        QString ascii;
        for (ushort c = 32; c < 127; ++c)
            ascii += QChar(c);
        const QList<quint32> glyphs = m_raw.glyphIndexesForString(ascii);
        if (glyphs.size() != ascii.size())
            return;
        const QList<QPointF> advances = m_raw.advancesForGlyphIndexes(glyphs);
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            m_glyph[static_cast<size_t>(32 + i)] = glyphs[i];
            m_advance[static_cast<size_t>(32 + i)] = advances[i].x();
        }
        m_valid = true;
    }

    void draw(QPainter& p, const QPoint& topLeft, const QString& text)
    {
        const QPointF baseline(topLeft.x(), topLeft.y() + m_metrics.ascent());
        m_indexes.clear();
        m_positions.clear();
        qreal x = 0;
        for (const QChar c : text) {
            const ushort u = c.unicode();
            if (!m_valid || u < 32 || u >= 127) {
                // Anything beyond the table (a locale's own digits or separator) takes the general path.
                p.setFont(m_font);
                p.drawText(baseline, text);
                return;
            }
            m_indexes.push_back(m_glyph[u]);
            m_positions.push_back(QPointF(x, 0));
            x += m_advance[u];
        }
        QGlyphRun run;
        run.setRawFont(m_raw);
        run.setGlyphIndexes(m_indexes);
        run.setPositions(m_positions);
        p.drawGlyphRun(baseline, run);
    }

private:
    QFont m_font;
    QRawFont m_raw;
    QFontMetricsF m_metrics;
    bool m_valid = false;
    std::array<quint32, 128> m_glyph{};
    std::array<qreal, 128> m_advance{};
    QList<quint32> m_indexes;
    QList<QPointF> m_positions;
};

} // namespace

void Graph::paintEvent(QPaintEvent* event)
{
    d->ensureImage();
    QPainter p(this);
    p.drawImage(QPoint(0, 0), d->image);
    if (d->labels.size() < 2)
        return;
    // Point labels are painted over the picture, in index order so later labels lie above earlier ones.
    const QRect exposed = event->rect();
    CaptionPainter normal(d->labelFont);
    CaptionPainter bold(d->labelBoldFont);
    p.setPen(palette().color(QPalette::WindowText));
    for (size_t i = 1; i < d->labels.size(); ++i) {
        const PointLabel& label = d->labels[i];
        // Bold captions run a little wider than the box they were measured in.
        if (!label.visible || !label.geometry.adjusted(0, 0, label.geometry.width() / 4, 0).intersects(exposed))
            continue;
        (label.bold ? bold : normal).draw(p, label.geometry.topLeft(), label.caption);
    }
}

void Graph::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    d->ensureImage();
    d->placeHeader();
}

} // namespace tvGraph
