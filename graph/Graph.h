#pragma once

#include "GraphError.h"
#include "GraphScale.h"
#include "tvGraphGlobal.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
class QLabel;
class QSqlDatabase;
QT_END_NAMESPACE

namespace tvGraph {

class Data;
class GraphFont;
class PropertyStore;

/// One element of the point label array `Label1`. Element 0 is the hidden template; `Plot` creates elements
/// 1, 2, … in drawing order. Labels are painted by the control itself (no widget per point), above the plot.
struct TVGRAPH_EXPORT PointLabel {
    QString caption; ///< "ID(X:Y)" in axis units, e.g. "7(12.5:40)".
    QString tag;     ///< The point's ID as text.
    QRect geometry;  ///< Position and size in the control's pixels.
    bool visible = false;
    bool bold = false;
};

/// The plotting control: series of points drawn with axes, ticks, markers, point labels and captions.
///
/// A host fills `DataSeries()` (or binds a table with `SetValues`), then calls `RefreshScale()` and `Plot()`.
/// Plot draws into a persistent image (`GraphImage()`), shown without flicker; the header, the status text, the
/// pointer marker and the point labels are child elements above that image. Setters store values only: nothing
/// is redrawn until the host calls `Plot`. Calls that can fail return false (or null) and describe the failure
/// in the optional `GraphError`.
class TVGRAPH_EXPORT Graph : public QWidget {
    Q_OBJECT

public:
    explicit Graph(QWidget* parent = nullptr);
    ~Graph() override;

    /// The control's series (created with the control; the host may keep the reference).
    std::shared_ptr<Data> DataSeries() const;
    /// The picture the last `Plot` drew (without the child elements above it).
    QImage GraphImage() const;

    /// Colour of the X caption (0x00BBGGRR).
    OleColor AxisXCaptionColor() const;
    void setAxisXCaptionColor(OleColor color);
    /// Dash style of the series lines; a new control uses Dot.
    DashStyle LineStyle() const;
    void setLineStyle(DashStyle style);
    /// Font of the Y caption; a new control shares one object with `AxisXCaptionFont`.
    std::shared_ptr<GraphFont> AxisYCaptionFont() const;
    void setAxisYCaptionFont(std::shared_ptr<GraphFont> font);
    /// Font of the X caption.
    std::shared_ptr<GraphFont> AxisXCaptionFont() const;
    void setAxisXCaptionFont(std::shared_ptr<GraphFont> font);
    /// Font of the Y axis numbers; a new control shares one object with `AxisXFont`.
    std::shared_ptr<GraphFont> AxisYFont() const;
    void setAxisYFont(std::shared_ptr<GraphFont> font);
    /// Font of the X axis numbers.
    std::shared_ptr<GraphFont> AxisXFont() const;
    void setAxisXFont(std::shared_ptr<GraphFont> font);

    /// Writes X/10 and Y/10 of every point back to its row (by record ID), in one transaction on a new
    /// connection opened from `ConnectionString`. On failure every update of the call is rolled back and the
    /// error is shown through the error reporter (a message box unless `setErrorReporter` replaced it).
    bool SaveValues(GraphError* error = nullptr);
    /// Reads the rows of one series through the caller's open connection `cn` into a new series (appended),
    /// then calls `RefreshScale`. A text `SeriesID` is compared as a quoted SQL string.
    bool SetValues(QSqlDatabase& cn, const QString& TableName, const QString& SeriesIDField, const QVariant& SeriesID,
                   const QString& IDField, const QString& AxisXField, const QString& AxisYField, OleColor Color = 0,
                   GraphError* error = nullptr);
    /// Redraws everything from the library-wide extents and the data. Refuses (InvalidPropertyValue, nothing
    /// drawn) before the first `RefreshScale`; fails with Overflow beyond the 16-bit limits.
    bool Plot(GraphError* error = nullptr);

    /// Written by `RefreshScale`; persisted, never read by drawing.
    float GraphScaleHeight() const;
    void setGraphScaleHeight(float value);
    float GraphScaleWidth() const;
    void setGraphScaleWidth(float value);
    QString AxisXCaption() const;
    void setAxisXCaption(const QString& text);
    QString AxisYCaption() const;
    void setAxisYCaption(const QString& text);
    /// Text of `lblHeader`.
    QString HeaderCaption() const;
    void setHeaderCaption(const QString& text);
    /// Connection that `SaveValues` opens (see `ConnectionSettings` for the text).
    QString ConnectionString() const;
    void setConnectionString(const QString& text);
    QString TableName() const;
    void setTableName(const QString& name);
    QString FieldNameID() const;
    void setFieldNameID(const QString& name);
    QString FieldNameAxisX() const;
    void setFieldNameAxisX(const QString& name);
    QString FieldNameAxisY() const;
    void setFieldNameAxisY(const QString& name);
    OleColor AxisYCaptionColor() const;
    void setAxisYCaptionColor(OleColor color);
    /// Point labels "ID(X:Y)"; drawn only together with point markers.
    bool ShowLabels() const;
    void setShowLabels(bool on);
    /// Point markers (circles) and, with them, labels and crosses.
    bool ShowPoints() const;
    void setShowPoints(bool on);
    /// Left-button drag of a point to a new position.
    bool MovePointMode() const;
    void setMovePointMode(bool on);
    /// A magenta cross through every marker.
    bool ShowCrossPointMode() const;
    void setShowCrossPointMode(bool on);
    OleColor PointColor() const;
    void setPointColor(OleColor color);
    /// Shows or hides `lblHeader`.
    bool ShowHeaderMode() const;
    void setShowHeaderMode(bool on);
    QString FieldNameSeriesID() const;
    void setFieldNameSeriesID(const QString& name);
    /// Derives the library-wide axis extents from the data and writes GraphScaleWidth/GraphScaleHeight.
    bool RefreshScale(GraphError* error = nullptr);
    /// Caption above the graph; stored without leading and trailing blanks.
    QString TopCaption() const;
    void setTopCaption(const QString& text);

    /// Reads the persisted properties in their fixed order; on a conversion error the values read before it
    /// stay applied and the error is returned.
    bool ReadProperties(const PropertyStore& store, GraphError* error = nullptr);
    /// Writes the persisted properties, omitting those equal to their defaults.
    void WriteProperties(PropertyStore& store) const;
    /// Whether a setter (or RefreshScale, SetValues) changed the property since the last clear.
    bool isPropertyChanged(const QString& name) const;
    QStringList changedProperties() const;
    void clearChangedProperties();

    /// The header label (object name "lblHeader").
    QLabel* lblHeader() const;
    /// The pointer status label (object name "lblStatus").
    QLabel* lblStatus() const;
    /// The marker shape of the point under the pointer (object name "shpPointer").
    QWidget* shpPointer() const;
    /// Number of `Label1` elements, the template included.
    qsizetype labelCount() const;
    /// `Label1` element `index` (0 … labelCount() − 1).
    const PointLabel& Label1(qsizetype index) const;
    /// Index of the point label last made bold by the pointer (0 when none).
    qint16 highlightedLabel() const;

    /// The control's current coordinate system: twips before the first Plot, the plot's afterwards.
    ScaleMap scaleMap() const;

    /// Replaces the message box that `SaveValues` shows on failure (an empty function restores it).
    void setErrorReporter(std::function<void(const GraphError&)> reporter);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tvGraph
