// The window's keys, sent as real key presses to the focused widget of the window.

#include "WindowFixture.h"

#include "app/SelectedRegionDeleteMonitor.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {

enum class Focus { none, textField, button };
enum class Effect { nothing, flipsSelected, flipsDrawSide, removesSelected, cancelsLink };

struct KeyCase { const char* name; int key; Qt::KeyboardModifiers modifiers; bool select, link; Focus focus; Effect effect; };

class KeyMonitorTest : public WindowFixture, public testing::WithParamInterface<KeyCase> {
protected:
    void SetUp() override
    {
        openWindow();
        first = addRegion(1);
        second = addRegion(4);
        field = new QLineEdit(window->content());
        field->setGeometry(400, 300, 200, 24);
        field->show();
        button = new QPushButton("Probe", window->content());
        button->setGeometry(400, 340, 100, 24);
        button->show();
        escapeProbe = new QAction(window.get());
        escapeProbe->setShortcut(Qt::Key_Escape);
        window->addAction(escapeProbe);
        settle();
    }

    // The key goes where the platform would send it: to the focused widget.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }

    QUuid first, second;
    QLineEdit* field = nullptr;
    QPushButton* button = nullptr;
    QAction* escapeProbe = nullptr;  // another handler of Escape
};

TEST_P(KeyMonitorTest, KeyRule)
{
    const KeyCase& c = GetParam();
    if (c.link) m->startLink(first, true);
    if (c.select) m->selectRegion(first);
    if (c.focus == Focus::textField) field->setFocus();
    if (c.focus == Focus::button) button->setFocus();
    settle();
    QSignalSpy deleteCommand(window->deleteAction(), &QAction::triggered);
    QSignalSpy clicked(button, &QPushButton::clicked);
    QSignalSpy escaped(escapeProbe, &QAction::triggered);
    const DrawSide side = m->drawSide();

    press(c.key, c.modifiers);
    EXPECT_EQ(m->regions().size(), 2u) << "actions wait for the next turn of the event loop";
    settle();

    const bool firstLeft = m->region(first).has_value();
    EXPECT_EQ(!firstLeft, c.effect == Effect::removesSelected);
    EXPECT_TRUE(m->region(second)) << "never the other region";
    EXPECT_EQ(firstLeft && m->region(first)->isBack(), c.effect == Effect::flipsSelected);
    EXPECT_EQ(m->drawSide() != side, c.effect == Effect::flipsDrawSide);
    if (c.link) { EXPECT_EQ(!m->pendingLink(), c.effect == Effect::cancelsLink); }
    const bool consumed = c.effect != Effect::nothing;
    if (c.focus == Focus::textField && c.key == Qt::Key_Space) { EXPECT_EQ(field->text(), " ") << "typing goes on"; }
    if (c.focus == Focus::button) { EXPECT_EQ(clicked.count(), 0) << "a taken key presses no button"; }
    // A plain Delete or Escape that is not taken reaches the shortcut for it.
    const bool plain = c.modifiers == Qt::NoModifier && c.focus != Focus::textField;
    const bool shortcut = !consumed && plain && (c.key == Qt::Key_Delete || c.key == Qt::Key_Escape);
    EXPECT_EQ(deleteCommand.count() + escaped.count(), shortcut ? 1 : 0);
}

constexpr auto none = Qt::NoModifier;
INSTANTIATE_TEST_SUITE_P(
    Keys, KeyMonitorTest,
    testing::Values(
        KeyCase{"SpaceFlipsTheSelection", Qt::Key_Space, none, true, false, Focus::none, Effect::flipsSelected},
        KeyCase{"SpaceWithoutSelectionFlipsTheDrawSide", Qt::Key_Space, none, false, false, Focus::none, Effect::flipsDrawSide},
        KeyCase{"ShiftSpaceFlips", Qt::Key_Space, Qt::ShiftModifier, true, false, Focus::none, Effect::flipsSelected},
        KeyCase{"CtrlSpacePasses", Qt::Key_Space, Qt::ControlModifier, true, false, Focus::none, Effect::nothing},
        KeyCase{"AltSpacePasses", Qt::Key_Space, Qt::AltModifier, true, false, Focus::none, Effect::nothing},
        KeyCase{"MetaSpacePasses", Qt::Key_Space, Qt::MetaModifier, true, false, Focus::none, Effect::nothing},
        KeyCase{"SpaceInATextFieldTypes", Qt::Key_Space, none, true, false, Focus::textField, Effect::nothing},
        KeyCase{"SpaceOnAFocusedButtonFlipsOnly", Qt::Key_Space, none, false, false, Focus::button, Effect::flipsDrawSide},
        KeyCase{"DeleteRemovesTheSelection", Qt::Key_Delete, none, true, false, Focus::none, Effect::removesSelected},
        KeyCase{"BackspaceRemovesTheSelection", Qt::Key_Backspace, none, true, false, Focus::none, Effect::removesSelected},
        KeyCase{"DeleteOnAFocusedButtonRemoves", Qt::Key_Delete, none, true, false, Focus::button, Effect::removesSelected},
        KeyCase{"CtrlDeletePasses", Qt::Key_Delete, Qt::ControlModifier, true, false, Focus::none, Effect::nothing},
        KeyCase{"DeleteWithoutSelectionPasses", Qt::Key_Delete, none, false, false, Focus::none, Effect::nothing},
        KeyCase{"DeleteInATextFieldEdits", Qt::Key_Backspace, none, true, false, Focus::textField, Effect::nothing},
        KeyCase{"EscapeCancelsALink", Qt::Key_Escape, none, false, true, Focus::none, Effect::cancelsLink},
        KeyCase{"EscapeWithoutALinkPasses", Qt::Key_Escape, none, true, false, Focus::none, Effect::nothing}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

using KeyMonitorEdges = KeyMonitorTest;

TEST_F(KeyMonitorEdges, DeleteRemovesTheRegionSelectedWhenTheKeyWentDownAndSelectingTakesTheFocus)
{
    m->selectRegion(first);
    press(Qt::Key_Delete);
    m->selectRegion(second);  // before the deferred action runs
    settle();
    EXPECT_FALSE(m->region(first));
    EXPECT_TRUE(m->region(second));

    // The menu's Delete command does nothing without a selection, and removes it with one.
    m->selectRegion(std::nullopt);
    window->deleteAction()->trigger();
    EXPECT_EQ(m->regions().size(), 1u);
    m->selectRegion(second);
    window->deleteAction()->trigger();
    EXPECT_TRUE(m->regions().empty());

    // A new selection takes the focus from a text field, however it is made.
    second = addRegion(4);
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    m->selectRegion(second);
    EXPECT_FALSE(field->hasFocus());
    field->setFocus();
    m->setSelectedID(first = addRegion(1));  // a selection made without selectRegion
    EXPECT_FALSE(field->hasFocus());
    press(Qt::Key_Space);
    settle();
    EXPECT_TRUE(m->region(first)->isBack());
}

TEST_F(KeyMonitorEdges, KeysForAnotherWindowPass)
{
    QWidget other;
    auto* probe = new QPushButton("Other", &other);
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    probe->setFocus();
    QSignalSpy clicked(probe, &QPushButton::clicked);
    const DrawSide side = m->drawSide();
    QTest::keyClick(probe, Qt::Key_Space);
    settle();
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(m->drawSide(), side);
}

}  // namespace
