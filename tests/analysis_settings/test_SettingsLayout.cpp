#include "TestEnvironment.h"
#include "analysis/settings/f_GraphSettings.h"
#include "analysis/settings/frmOptions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

bool isOwnControl(const QWidget* widget)
{
    return !widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_"));
}

// Every named control that shows is inside its parent, shows its whole text, and covers no named sibling.
void expectTidyLayout(QWidget* window, const QString& what)
{
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    QList<QWidget*> shown;
    for (QWidget* widget : all) {
        if (isOwnControl(widget) && widget->isVisibleTo(window))
            shown.append(widget);
    }
    ASSERT_GT(shown.size(), 5) << what.toStdString();
    for (QWidget* widget : shown) {
        const std::string name = what.toStdString() + ": " + widget->objectName().toStdString();
        const QRect inParent = QRect(QPoint(0, 0), widget->parentWidget()->size());
        EXPECT_TRUE(inParent.contains(widget->geometry())) << name << " leaves its parent";
        // Arrow buttons are drawn to any size, as a spin box's are; text must fit.
        const auto* tool = qobject_cast<QToolButton*>(widget);
        const bool arrow = tool && tool->arrowType() != Qt::NoArrow;
        if (qobject_cast<QLabel*>(widget) || (qobject_cast<QAbstractButton*>(widget) && !arrow)) {
            const QSize needed = widget->minimumSizeHint();
            EXPECT_GE(widget->width(), needed.width()) << name << " is clipped";
            EXPECT_GE(widget->height(), needed.height()) << name << " is clipped";
        }
        for (QWidget* other : shown) {
            if (other != widget && other->parentWidget() == widget->parentWidget() && other < widget) {
                EXPECT_FALSE(widget->geometry().intersects(other->geometry()))
                    << name << " overlaps " << other->objectName().toStdString();
            }
        }
    }
}

void snapshot(QWidget* window, const QString& file)
{
    const QString folder = qEnvironmentVariable("TAVRIK_SNAPSHOT_DIR");
    if (!folder.isEmpty()) {
        EXPECT_TRUE(window->grab().save(folder + u'/' + file));
    }
}

// Text at 144 DPI is half as large again in logical pixels; a larger application font stands in for it.
class SettingsLayoutTest : public ProgramFolderTest, public ::testing::WithParamInterface<double> {
protected:
    SettingsLayoutTest() : m_oldFont(QApplication::font())
    {
        QFont font = m_oldFont;
        font.setPointSizeF(m_oldFont.pointSizeF() * GetParam());
        QApplication::setFont(font);
    }
    ~SettingsLayoutTest() override { QApplication::setFont(m_oldFont); }

    QString suffix() const { return GetParam() > 1.0 ? QStringLiteral("_144") : QString(); }

private:
    QFont m_oldFont;
};

void showAtNaturalSize(QWidget* window)
{
    window->show();
    window->resize(window->sizeHint());
    QApplication::processEvents();
}

} // namespace

TEST_P(SettingsLayoutTest, GraphSettingsWindowIsTidy)
{
    f_GraphSettings window;
    showAtNaturalSize(&window);
    expectTidyLayout(&window, QStringLiteral("graph settings"));
    snapshot(&window, QStringLiteral("graphsettings%1.png").arg(suffix()));
}

TEST_P(SettingsLayoutTest, OptionsPagesAreTidy)
{
    frmOptions dialog;
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("TabStrip1"));
    ASSERT_NE(tabs, nullptr);
    showAtNaturalSize(&dialog);
    tabs->setCurrentIndex(0);
    QApplication::processEvents();
    expectTidyLayout(&dialog, QStringLiteral("options general"));
    snapshot(&dialog, QStringLiteral("options_general%1.png").arg(suffix()));
    tabs->setCurrentIndex(1);
    QApplication::processEvents();
    expectTidyLayout(&dialog, QStringLiteral("options sms"));
    snapshot(&dialog, QStringLiteral("options_sms%1.png").arg(suffix()));
}

INSTANTIATE_TEST_SUITE_P(FontScales, SettingsLayoutTest, ::testing::Values(1.0, 1.5));
