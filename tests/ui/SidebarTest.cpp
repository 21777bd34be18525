#include "ui/Sidebar.h"

#include "analysis/ImageUtil.h"
#include "support/Make.h"
#include "support/ModelFixture.h"
#include "ui/CountChip.h"
#include "ui/DrawModeControl.h"
#include "ui/ElidedLabel.h"
#include "ui/RegionRow.h"
#include "ui/RegionsBlock.h"
#include "ui/SavedFilesArea.h"
#include "ui/SavedThumbnail.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

class SidebarTest : public ModelFixture {
protected:
    AppModel& m = makeModel();
    Sidebar sidebar{m};

    void SetUp() override
    {
        sidebar.resize(Sidebar::columnWidth, 900);
        sidebar.show();
        m.setOverview(QImage(10, 10, QImage::Format_RGB32));
    }

    template <class T>
    T* child(const char* name) const
    {
        T* w = sidebar.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QAbstractButton* button(const QString& text) const
    {
        for (QAbstractButton* b : sidebar.findChildren<QAbstractButton*>())
            if (b->text() == text && b->isVisibleTo(&sidebar)) return b;
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }
    const std::vector<RegionRow*>& rows() const { return sidebar.regionsBlock()->rows(); }
    static bool shows(QWidget* row, const QString& text)
    {
        for (QLabel* l : row->findChildren<QLabel*>())
            if (l->isVisibleTo(row) && l->text() == text) return true;
        for (ElidedLabel* l : row->findChildren<ElidedLabel*>())
            if (l->isVisibleTo(row) && l->text() == text) return true;
        return false;
    }

    static ScanRegion region(const QString& name, std::optional<BackTarget> back = std::nullopt, double angle = 0)
    {
        return makeRegion({2, 2}, {3, 2}, back, name, angle);
    }
    void setRegions(const std::vector<ScanRegion>& regions)
    {
        m.setRegions(regions);
        sidebar.setPlan(m.plannedStems());
    }
    // Records scan_0001… dated 1, 2, …; with `files`, each with its picture in the folder.
    std::vector<ScanRecord> history(int count, bool files = false) const
    {
        std::vector<ScanRecord> records;
        for (int i = 1; i <= count; ++i) {
            records.push_back(makeRecord(AppModel::numberedStem("scan", i), i));
            if (files) writeJPEG(records.back().base + ".jpg");
        }
        return records;
    }
    QString writeJPEG(const QString& name, QSize size = QSize(60, 40)) const
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = QDir(outputFolder()).filePath(name);
        EXPECT_TRUE(ImageUtil::saveJPEG(image, path, 0.9, 100));
        return path;
    }
};

TEST_F(SidebarTest, WithoutRegionsTheNoteStandsInForTheListAndNothingCanBeScanned)
{
    auto* fronts = child<CountChip>("frontCount");
    auto* backs = child<CountChip>("backCount");
    auto* scan = child<QPushButton>("scan");
    EXPECT_TRUE(child<QWidget>("emptyNote")->isVisible());
    EXPECT_FALSE(child<QWidget>("bulkRow")->isVisible());
    EXPECT_FALSE(child<QWidget>("regionList")->isVisible());
    EXPECT_EQ(backs->count(), 0);
    EXPECT_NEAR(fronts->textColor().alphaF(), 0.55, 0.01);
    EXPECT_FALSE(scan->isEnabled());

    setRegions({region("Region 1"), region("Region 2", BackTarget::automatic()), region("Region 3")});
    EXPECT_FALSE(child<QWidget>("emptyNote")->isVisible());
    EXPECT_TRUE(child<QWidget>("bulkRow")->isVisible());
    EXPECT_EQ(fronts->count(), 2);
    EXPECT_EQ(backs->count(), 1);
    EXPECT_EQ(fronts->textColor().alphaF(), 1.0f);
    EXPECT_EQ(scan->text(), "Scan 3 Regions");
    EXPECT_TRUE(scan->isEnabled());
    for (const bool busy : {true, false}) {
        m.setScannerBusy(busy);
        m.setOverview(busy ? m.overview() : QImage());
        EXPECT_FALSE(scan->isEnabled()) << "scanner busy, or no overview";
    }
}

TEST_F(SidebarTest, RowsShowThePlanAndThePairingAndAreUpdatedInPlace)
{
    const ScanRegion orphan = region("B", BackTarget::region(QUuid::createUuid()));
    setRegions({region("A"), orphan, region("C")});
    sidebar.setPlan({{m.regions()[0].id, "scan_0001"}});
    const std::vector<RegionRow*> before = rows();
    ASSERT_EQ(before.size(), 3u);
    EXPECT_TRUE(shows(rows()[0], "scan_0001"));
    EXPECT_TRUE(shows(rows()[1], "—"));
    EXPECT_TRUE(shows(rows()[1], "back of front"));
    auto arrows = [](QWidget* row) {
        const auto labels = row->findChildren<QLabel*>();
        return int(std::count_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->isVisibleTo(row) && !l->pixmap().isNull(); }));
    };
    EXPECT_EQ(std::pair(arrows(rows()[0]), arrows(rows()[1])), std::pair(0, 1)) << "a second line on a back only";

    auto regions = m.regions();
    regions[1].angle = 0.1;
    m.setRegions(regions);
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(shows(rows()[1], "↻5.7°"));
    EXPECT_FALSE(shows(rows()[0], "↻5.7°"));

    m.removeRegion(regions[0].id);
    EXPECT_EQ(rows(), (std::vector<RegionRow*>{before[1], before[2]}));

    rows()[1]->removeButton()->click();
    ASSERT_EQ(m.regions().size(), 1u);
    EXPECT_EQ(m.regions()[0].id, regions[1].id);

    QTest::mouseClick(rows()[0], Qt::LeftButton, {}, QPoint(rows()[0]->width() / 2, 4));
    EXPECT_EQ(m.selectedID(), regions[1].id);
    EXPECT_TRUE(rows()[0]->state().selected);
}

TEST_F(SidebarTest, TheBadgeMenuChangesThePairing)
{
    setRegions({region("Only")});
    QMenu* menu = rows()[0]->badgeMenu();
    m.setHistory(history(9));
    menu->popup(QPoint(0, 0));
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts << a->text();
    ASSERT_EQ(texts.size(), 10) << "the menu follows the history";
    EXPECT_EQ(texts[9], "Back of scan_0002");
    menu->actions().back()->trigger();
    EXPECT_EQ(m.regions()[0].back, BackTarget::history("scan_0002"));
    EXPECT_EQ(rows()[0]->state().backLabel, "back of scan_0002");
}

TEST_F(SidebarTest, BulkButtons)
{
    ScanRegion saved = region("A", BackTarget::history("scan_0001"));
    saved.frontBase = "scan_0001";
    setRegions({saved, region("B", BackTarget::automatic())});
    m.setSelectedID(saved.id);
    int released = 0;
    m.releaseKeyboardFocus = [&] { ++released; };

    button("All fronts")->click();
    EXPECT_FALSE(m.regions()[0].isBack() || m.regions()[1].isBack());
    EXPECT_EQ(m.regions()[0].frontBase, "scan_0001");

    button("All backs")->click();
    EXPECT_TRUE(m.regions()[0].isBack() && m.regions()[1].isBack());

    button("Clear")->click();
    EXPECT_TRUE(m.regions().empty());
    EXPECT_FALSE(m.selectedID().has_value());
    EXPECT_EQ(released, 1);
    EXPECT_TRUE(rows().empty());
}

TEST_F(SidebarTest, TypingIsWrittenThroughAndAnEchoNeverMovesTheCursor)
{
    auto* name = child<QLineEdit>("baseName");
    auto* caption = child<ElidedLabel>("scanCaption");
    name->setFocus();
    name->setCursorPosition(2);
    for (QChar c : QStringLiteral("XY")) {
        QTest::keyClick(name, c.toLatin1());
        m.setBaseName(m.baseName());  // the model publishes again, as its observers do
        EXPECT_EQ(caption->text(), "600 dpi · Color · " + name->text());
    }
    EXPECT_EQ(name->text(), "scXYan");
    EXPECT_EQ(name->cursorPosition(), 4);
    EXPECT_TRUE(name->isUndoAvailable()) << "the echo left the user's edits alone";
    EXPECT_EQ(m.baseName(), "scXYan");

    m.setBaseName("box");  // a change from elsewhere is shown, the cursor kept in range
    EXPECT_EQ(name->text(), "box");
    EXPECT_EQ(name->cursorPosition(), 3);

    auto* suffix = child<QLineEdit>("suffix");
    suffix->setFocus();
    QTest::keyClicks(suffix, "2");
    EXPECT_EQ(m.backSuffix(), "_b2");
}

TEST_F(SidebarTest, SettingsPickersFolderAndDrawSide)
{
    auto* res = child<QComboBox>("resolution");
    ASSERT_EQ(res->count(), int(AppModel::resolutionPresets.size()));
    EXPECT_EQ(res->itemText(0), "100 dpi");
    EXPECT_EQ(res->currentText(), "600 dpi");
    res->activated(2);
    EXPECT_EQ(m.dpi(), 300);

    auto* color = child<QComboBox>("colorMode");
    EXPECT_EQ(color->itemText(2), "B & W");
    color->activated(1);
    EXPECT_EQ(m.colorMode(), ColorMode::gray);
    EXPECT_EQ(child<ElidedLabel>("scanCaption")->text(), "300 dpi · Grayscale · scan");

    const QString other = root.filePath("Box 2");
    m.chooseFolder = [&](const QString&) { return std::optional<QString>(other); };
    child<QPushButton>("chooseFolder")->click();
    EXPECT_EQ(m.outputDir(), other);
    EXPECT_EQ(child<ElidedLabel>("folder")->text(), "Box 2");

    auto* control = sidebar.findChild<DrawModeControl*>();
    button("BACK")->click();
    EXPECT_EQ(m.drawSide(), DrawSide::back);
    EXPECT_TRUE(spinUntil([&] { return control->highlightPosition() == 1.0; }));
    m.flipSpace();
    EXPECT_TRUE(spinUntil([&] { return control->highlightPosition() == 0.0; }));
    EXPECT_TRUE(button("FRONT")->isChecked());
}

TEST_F(SidebarTest, SavedAreaHeightFollowsTheFilesAndTheBlock)
{
    m.setHistory(history(5, true));
    m.setLastSaved({writeJPEG("scan_0006.jpg")});
    SavedFilesArea* area = sidebar.regionsBlock()->savedFiles();
    EXPECT_EQ(area->lastSavedCount(), 1);
    EXPECT_EQ(area->historyCount(), 5);
    auto* scroll = area->findChild<QScrollArea*>("savedScroll");
    sidebar.resize(Sidebar::columnWidth, 700);
    QCoreApplication::processEvents();
    const int block = sidebar.regionsBlock()->height();
    ASSERT_LT(block, 550);
    EXPECT_EQ(scroll->height(), int(0.4 * block));
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

TEST_F(SidebarTest, ThumbnailsDecodeAwayAndOpenOnClick)
{
    const QString wide = writeJPEG("wide.jpg", QSize(400, 200));
    const QString tall = writeJPEG("tall.jpg", QSize(100, 300));
    QFile broken(QDir(outputFolder()).filePath("broken.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();

    SavedThumbnail bad(broken.fileName());
    bad.show();
    EXPECT_TRUE(spinUntil([&] { return bad.loaded(); }));
    EXPECT_TRUE(bad.image().isNull()) << "the placeholder stays";

    SavedThumbnail changed(wide);
    changed.show();
    changed.hide();
    changed.setPath(tall);  // the wide picture, when it comes, is for a file no longer shown
    changed.show();
    EXPECT_TRUE(spinUntil([&] { return changed.loaded(); }));
    EXPECT_LT(changed.image().width(), changed.image().height());

    {
        SavedThumbnail gone(wide);
        gone.show();
    }  // the view goes while its picture is decoded
    SavedThumbnail::decodePool().waitForDone();
    QCoreApplication::processEvents();

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    QTest::mouseClick(&changed, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(catcher.opened.size(), 1u);
    EXPECT_EQ(catcher.opened[0].toLocalFile(), tall);
    EXPECT_EQ(changed.toolTip(), "Open tall.jpg");
}

}  // namespace

#include "SidebarTest.moc"
