// The toolbar: the scanner chip and its menu, the buttons' enabled states, and the pairing switch.

#include "WindowFixture.h"
#include "support/Make.h"

#include "app/LeftPane.h"
#include "app/PairButton.h"
#include "app/ScannerChip.h"
#include "app/Spinner.h"
#include "app/Toolbar.h"
#include "ui/ElidedLabel.h"

#include <QMenu>
#include <QPushButton>

namespace {

class ToolbarTest : public WindowFixture {
protected:
    Toolbar& bar() { return *window->content()->toolbar(); }

    // A batch of fronts in the history, an overview and an open scanner: something to pair with.
    void makePairable()
    {
        m->setHistory({makeRecord("scan_0001", 0, {2, 2}, {2, 1.5})});
        QImage overview(40, 30, QImage::Format_RGB32);
        overview.fill(Qt::gray);
        m->setOverview(overview);
        m->setInfo(ScriptedEngine::defaultInfo());
    }

    QStringList menuTexts() const
    {
        QStringList texts;
        for (QAction* a : window->content()->toolbar()->chip()->menu()->actions()) texts << a->text();
        return texts;
    }
};

TEST_F(ToolbarTest, ChipNamesTheScannerAndItsMenuListsEveryOneWithTheActiveTicked)
{
    openWindow();
    ScannerChip& chip = *bar().chip();
    EXPECT_EQ(chip.text(), "NO SCANNER");
    EXPECT_EQ(menuTexts(), QStringList{"Searching for scanners…"});
    EXPECT_FALSE(chip.menu()->actions().front()->isEnabled());

    announce("a", "Flatbed One");
    announce("b", "Flatbed Two");
    m->setInfo(std::nullopt);  // as while the session opens
    EXPECT_EQ(chip.text(), "FLATBED ONE") << "the active entry's name, before a session is open";
    EXPECT_EQ(chip.accessibleName(), "FLATBED ONE");
    EXPECT_EQ(menuTexts(), (QStringList{"Flatbed One", "Flatbed Two"}));
    const auto actions = chip.menu()->actions();
    EXPECT_FALSE(actions[0]->icon().isNull()) << "the active scanner is ticked";
    EXPECT_TRUE(actions[1]->icon().isNull());

    ScannerInfo open = ScriptedEngine::defaultInfo();
    open.name = "Open Device";
    m->setInfo(open);
    EXPECT_EQ(chip.text(), "OPEN DEVICE") << "an open scanner's own name wins";

    actions[1]->trigger();
    EXPECT_TRUE(spinUntil([&] { return m->activeScannerID() == QString("b"); })) << "choosing an entry switches";
    EXPECT_FALSE(chip.menu()->actions()[1]->icon().isNull());
}

TEST_F(ToolbarTest, ButtonsAreEnabledAsTheModelAllows)
{
    openWindow();
    makePairable();
    struct Row { bool busy, scannerBusy, overview, preview, autoDetect, pair, spinner; };
    const Row rows[] = {
        {false, false, true, true, true, true, false},
        {false, true, true, false, true, true, true},  // Auto-detect stays while only the scanner works
        {true, false, true, false, false, false, true},
        {true, true, true, false, false, false, true},
        {false, false, false, true, false, false, false},  // no overview: nothing to detect on or pair
    };
    const QImage overview = m->overview();
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "busy " << r.busy << " scannerBusy " << r.scannerBusy << " overview " << r.overview);
        m->setBusy(r.busy);
        m->setScannerBusy(r.scannerBusy);
        m->setOverview(r.overview ? overview : QImage());
        EXPECT_EQ((std::array{bar().previewButton()->isEnabled(), bar().autoDetectButton()->isEnabled(), bar().pairButton()->isEnabled(),
                              bar().spinner()->isVisible()}), (std::array{r.preview, r.autoDetect, r.pair, r.spinner}));
    }
}

TEST_F(ToolbarTest, PairButtonSwitchesBetweenBedAndWorkspace)
{
    openWindow();
    PairButton& pair = *bar().pairButton();
    LeftPane& left = *window->content()->leftPane();
    addRegion(1);
    addRegion(4);
    EXPECT_EQ(pair.text(), "Pair Backs");
    EXPECT_EQ(pair.toolTip(), PairButton::cannotHelp);
    EXPECT_FALSE(pair.isEnabled());

    makePairable();
    EXPECT_EQ(pair.toolTip(), PairButton::pairHelp);
    QTest::mouseClick(&pair, Qt::LeftButton);
    EXPECT_TRUE(m->pairingMode() && left.showingWorkspace() && m->drawSide() == DrawSide::back);
    for (const ScanRegion& r : m->regions()) EXPECT_TRUE(r.isBack());
    EXPECT_EQ(pair.text(), "Pairing");
    EXPECT_EQ(pair.accessibleName(), "Pairing");
    EXPECT_TRUE(pair.toolTip().isEmpty());
    m->setBusy(true);
    EXPECT_TRUE(pair.isEnabled()) << "the pairing form is always enabled";
    m->setBusy(false);
    QTest::mouseClick(&pair, Qt::LeftButton);
    EXPECT_FALSE(m->pairingMode() || left.showingWorkspace());

    QTest::mouseClick(&pair, Qt::LeftButton);
    ASSERT_TRUE(left.showingWorkspace());
    m->setOverview(QImage());  // nothing to pair any more
    EXPECT_FALSE(m->pairingMode());
    EXPECT_FALSE(left.showingWorkspace()) << "back to the bed at once";
}

TEST_F(ToolbarTest, StatusLineShortensInTheMiddleAndShowsTheWholeTextAsHelp)
{
    openWindow();
    spinUntil([&] { return engine->connectsRunning() == 0; });  // the start's own status has landed
    settle();
    ElidedLabel& status = *bar().statusLine();
    m->setStatus("Preview ready.");
    EXPECT_EQ(status.shownText(), "Preview ready.");
    EXPECT_TRUE(status.toolTip().isEmpty());

    const QString longText = "Scan failed: " + QString(300, 'x') + " the end";
    m->setStatus(longText);
    settle();
    const QString shown = status.shownText();
    EXPECT_TRUE(shown.startsWith("Scan failed") && shown.endsWith("the end") && shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(status.toolTip(), longText);
    EXPECT_EQ(status.accessibleName(), longText);
}

}  // namespace
