#pragma once

// Private to the library: the state behind Graph, shared by its implementation files.

#include "Data.h"
#include "Graph.h"
#include "GraphFont.h"

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QSet>
#include <QWidget>

#include <optional>
#include <vector>

namespace tvGraph {

// The marker of the point under the pointer; mouse events pass through it to the control.
class PointerShape : public QWidget {
public:
    explicit PointerShape(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

struct Graph::Private {
    explicit Private(Graph* owner);

    // Keeps the backing image at the control's size, keeping what was drawn.
    void ensureImage();
    QColor background() const;
    void placeHeader();
    void markChanged(const char* name) { changed.insert(QLatin1String(name)); }

    // Pointer handling (GraphPointer.cpp).
    bool runHitTest(QPointF user, HitResult* hit) const;
    void placeMarker(QPointF user);
    void placeStatus(QPointF user, const QString& caption);
    void surfacePress(Qt::MouseButton button, QPointF user);
    void surfaceMove(Qt::MouseButtons buttons, QPointF user);
    void surfaceRelease(Qt::MouseButton button, QPointF user);
    void labelPress(qsizetype index);
    void labelMove(Qt::MouseButtons buttons, qsizetype index);
    qsizetype labelAt(QPointF pixel) const;
    void setLabelBold(qsizetype index, bool bold);

    void reportError(const GraphError& error) const;

    Graph* q;
    std::shared_ptr<Data> dataSeries;

    QString topCaption;
    QString fieldNameSeriesID;
    bool showHeaderMode = true;
    OleColor pointColor = 0;
    bool showCrossPointMode = false;
    bool movePointMode = false;
    bool showPoints = true;
    bool showLabels = true;
    OleColor axisYCaptionColor = 0;
    QString tableName;
    QString fieldNameID;
    QString fieldNameAxisX;
    QString fieldNameAxisY;
    QString connectionString;
    QString axisXCaption = QStringLiteral("Scale X");
    QString axisYCaption = QStringLiteral("Scale Y");
    QString headerCaption = QStringLiteral("Simple Graph");
    float graphScaleHeight = -900;
    float graphScaleWidth = 1800;
    std::shared_ptr<GraphFont> axisXFont;
    std::shared_ptr<GraphFont> axisYFont;
    std::shared_ptr<GraphFont> axisXCaptionFont;
    std::shared_ptr<GraphFont> axisYCaptionFont;
    DashStyle lineStyle = DashStyle::Dot;
    OleColor axisXCaptionColor = 0;

    // Pointer state: the drag, the point selected at the press and the label last made bold.
    bool dragging = false;
    std::shared_ptr<cPoint> selectedPoint;
    qint16 selectedPointPosition = 0;
    qint16 selectedSeriesPosition = 0;
    qint16 highlighted = 0;
    // Which element a pressed button belongs to until all buttons are up, as a window that captured the mouse.
    enum class Capture { None, Surface, Label } capture = Capture::None;
    qsizetype captureLabel = 0;

    QImage image;
    std::optional<CoordinateFrame> frame; // the plot's coordinate system, once Plot has set it
    std::vector<PointLabel> labels;       // Label1; element 0 is the template
    QFont labelFont;
    QFont labelBoldFont;

    QLabel* header = nullptr;
    QLabel* status = nullptr;
    PointerShape* pointer = nullptr;

    QSet<QString> changed;
    std::function<void(const GraphError&)> errorReporter;
};

} // namespace tvGraph
