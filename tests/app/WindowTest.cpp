// The window as a whole: size, warm-up, the plan once per burst, saving on quit, accessibility.

#include "WindowFixture.h"

#include "app/Icons.h"
#include "app/LeftPane.h"
#include "app/PlanScheduler.h"
#include "app/SelectedRegionDeleteMonitor.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QFileDialog>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

using WindowTest = WindowFixture;

TEST_F(WindowTest, OpensAtItsSizeWithTheSidebarColumnAndWarmsUp)
{
    openWindow([](ScriptedEngine& e) { e.announce({"a", "Flatbed"}); });
    EXPECT_EQ(window->windowTitle(), "Bivara Scanner");
    EXPECT_EQ(window->size(), MainWindow::openingSize);
    EXPECT_EQ(window->minimumSize(), MainWindow::smallestSize);
    EXPECT_EQ(window->content()->sidebar()->width(), 300);
    EXPECT_EQ(window->content()->leftPane()->width() + 300, window->content()->width());
    EXPECT_EQ(QApplication::focusWidget(), window->content()->keyMonitor()->captureView()) << "keys go to the bed first";
    EXPECT_TRUE(spinUntil([&] { return m->info().has_value(); })) << "warm-up connects when first shown";
}

TEST_F(WindowTest, PlanIsComputedOncePerBurstAndEveryControlIsNamed)
{
    openWindow();
    PlanScheduler& plan = *window->content()->planScheduler();
    settle();
    QSignalSpy handedOut(&plan, &PlanScheduler::planChanged);
    const int before = plan.computations();
    for (int i = 0; i < 50; ++i) addRegion(i * 0.1);
    m->setStatus("busy elsewhere");
    EXPECT_EQ(plan.computations(), before) << "nothing computed inside the burst";
    settle();
    EXPECT_EQ(plan.computations(), before + 1);
    EXPECT_EQ(plan.plan(), m->plannedStems());
    EXPECT_EQ(handedOut.count(), 1) << "the panes are given the new plan once";

    m->setStatus("Preview ready.");
    m->setBusy(true);
    settle();
    EXPECT_EQ(plan.computations(), before + 1) << "status and flags do not touch the stems";

    // Every control, the rows of those regions included, has its accessible name; every icon is there.
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisible()) continue;  // the menu bar's overflow button, while everything fits
        SCOPED_TRACE(b->objectName().toStdString() + " " + b->text().toStdString());
        // What a screen reader is told: the accessible name, or a button's own text.
        const QString name = QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty());
        EXPECT_EQ(name, b->text().isEmpty() ? b->toolTip() : b->text());
    }
    for (QAction* a : window->menuBar()->actions()) EXPECT_FALSE(a->text().isEmpty());
    for (const char* name : Icons::all) EXPECT_TRUE(QIcon::hasThemeIcon(name)) << name;
}

TEST_F(WindowTest, QuittingWithinTheDebounceKeepsTheSessionAndTheBaseName)
{
    saveDebounce = std::chrono::hours(1);
    openWindow();
    addRegion(2);
    m->setBaseName("trip");
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());

    closeWindow();  // the model goes with it
    makeModel();
    ASSERT_EQ(model->regions().size(), 1u);
    EXPECT_EQ(model->regions().front().center, QPointF(3, 1.75));
    EXPECT_EQ(model->baseName(), "trip");
}

TEST_F(WindowTest, ChooseOpensTheFolderChooserAtTheOutputFolder)
{
    openWindow();
    QString title, opened;
    QTimer::singleShot(0, [&] {
        // The chooser is modal: look at it from inside its own event loop, then cancel it.
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle();
        opened = dialog->directory().absolutePath();
        dialog->reject();
    });
    const QString before = m->outputDir();
    window->findChild<QPushButton*>("chooseFolder")->click();
    EXPECT_EQ(title, "Choose Output Folder");
    EXPECT_EQ(opened, QDir(before).absolutePath());
    EXPECT_EQ(m->outputDir(), before) << "cancelling keeps the folder";
}

}  // namespace
