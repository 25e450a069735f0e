// Command-key edit shortcuts: what the application class turns into edit
// actions, what it passes on, and the same through real key presses in a text
// field's editor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

#include "MyNSApplication.h"
#include "kit/RunLoop.h"
#include "kit/ui/AppKeyRouting.h"
#include "kit/ui/Application.h"
#include "kit/ui/QtBridge.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace {

// Every test of this program runs with the system's application class, as
// the bundle's information property list asks.
class ShellApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        kit::ensureUiApp();
        kit::Application::setShared(std::make_unique<MyNSApplication>());
        kit::installAppKeyRouting();
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ShellApplicationEnvironment);

// A window that records the events handed to it: reaching it means the
// application passed the event on to the normal dispatch.
class RecordingWindow : public kit::Window {
public:
    RecordingWindow() : kit::Window(kit::Rect(100, 100, 300, 200), kit::TitledWindowMask) {}
    void sendEvent(kit::Event& e) override { received.push_back(e.charactersIgnoringModifiers); }
    std::vector<std::string> received;
};

kit::Event keyDown(const std::string& chars, uint64_t flags, kit::Window* w) {
    kit::Event e;
    e.type = kit::EventType::KeyDown;
    e.charactersIgnoringModifiers = chars;
    e.characters = chars;
    e.modifierFlags = flags;
    e.window = w;
    return e;
}

}  // namespace

TEST(MyNSApplication, CommandLettersBecomeEditActionsAndTheRestIsPassedOn) {
    auto window = std::make_shared<RecordingWindow>();
    kit::Application& app = kit::Application::shared();
    ASSERT_NE(dynamic_cast<MyNSApplication*>(&app), nullptr);
    std::vector<std::string> performed;
    for (const char* a : {"cut:", "copy:", "paste:", "undo:", "redo:", "selectAll:"})
        app.registerAction(a, [&performed, a](kit::Object*) { performed.push_back(a); });

    const uint64_t cmd = kit::CommandKeyMask, caps = kit::AlphaShiftKeyMask, shift = kit::ShiftKeyMask;
    struct Case { std::string chars; uint64_t flags; std::string action; };
    std::vector<Case> consumed = {
        {"x", cmd, "cut:"}, {"c", cmd, "copy:"}, {"v", cmd, "paste:"}, {"z", cmd, "undo:"},
        {"a", cmd, "selectAll:"}, {"C", cmd | caps, "copy:"}, {"Z", cmd | shift, "redo:"},
        {"Z", cmd | shift | caps, "redo:"},
        // Bits below the device-independent mask do not count.
        {"c", cmd | 0x100, "copy:"},
    };
    for (auto& c : consumed) {
        performed.clear();
        window->received.clear();
        kit::Event e = keyDown(c.chars, c.flags, window.get());
        app.sendEvent(e);
        EXPECT_EQ(performed, std::vector<std::string>{c.action}) << c.chars << " " << c.flags;
        EXPECT_TRUE(window->received.empty()) << c.chars;
    }

    std::vector<Case> passedOn = {
        {"c", cmd | kit::AlternateKeyMask, ""},  // Command+Option+C
        {"c", 0, ""}, {"q", cmd, ""}, {"Z", shift, ""}, {"Z", caps, ""}, {"Z", 0, ""},
        {"z", cmd | shift, ""}, {"c", cmd | kit::ControlKeyMask, ""}, {"Z", cmd | shift | kit::AlternateKeyMask, ""},
    };
    for (auto& c : passedOn) {
        performed.clear();
        window->received.clear();
        kit::Event e = keyDown(c.chars, c.flags, window.get());
        app.sendEvent(e);
        EXPECT_TRUE(performed.empty()) << c.chars << " " << c.flags;
        EXPECT_EQ(window->received, std::vector<std::string>{c.chars}) << c.chars << " " << c.flags;
    }

    // An action that no responder answers leaves the event to the normal dispatch.
    for (const char* a : {"cut:", "copy:", "paste:", "undo:", "redo:", "selectAll:"}) app.unregisterAction(a);
    window->received.clear();
    kit::Event e = keyDown("c", cmd, window.get());
    app.sendEvent(e);
    EXPECT_EQ(window->received, std::vector<std::string>{"c"});
}

namespace {

void press(QLineEdit* editor, int key, Qt::KeyboardModifiers mods, const QString& text) {
    QKeyEvent down(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(editor, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods, text);
    QCoreApplication::sendEvent(editor, &up);
}

}  // namespace

TEST(MyNSApplication, ShortcutsAndTypingReachAnEditableTextField) {
    auto window = std::make_shared<kit::Window>(kit::Rect(100, 100, 300, 120), kit::TitledWindowMask);
    auto field = std::make_shared<kit::TextField>(kit::Rect(20, 40, 200, 22));
    field->setEditable(true);
    field->setBezeled(true);
    field->setStringValue("hello");
    window->contentView()->addSubview(field);
    window->makeKeyAndOrderFront();
    kit::runFor(0.05);
    QLineEdit* editor = kit::widgetOf(*field)->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);

    const auto ctrl = Qt::ControlModifier;
    press(editor, Qt::Key_A, ctrl, "\x01");
    EXPECT_EQ(window->firstResponder(), field.get());
    EXPECT_EQ(editor->selectedText(), "hello");
    press(editor, Qt::Key_X, ctrl, "\x18");
    EXPECT_EQ(editor->text(), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "hello");
    press(editor, Qt::Key_V, ctrl, "\x16");
    EXPECT_EQ(editor->text(), "hello");
    press(editor, Qt::Key_Z, ctrl, "\x1a");
    EXPECT_EQ(editor->text(), "");
    press(editor, Qt::Key_Z, ctrl | Qt::ShiftModifier, "\x1a");
    EXPECT_EQ(editor->text(), "hello");
    press(editor, Qt::Key_C, ctrl, "\x03");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "hello");

    // A capital Z typed with Shift is text, not redo.
    editor->setCursorPosition(5);
    press(editor, Qt::Key_Z, Qt::ShiftModifier, "Z");
    press(editor, Qt::Key_Z, Qt::NoModifier, "z");
    EXPECT_EQ(editor->text(), "helloZz");
}

TEST(AppKeyRouting, ToolkitModifiersMapToDeviceIndependentFlags) {
    EXPECT_EQ(kit::modifierFlagsFromToolkit(Qt::ControlModifier, 0), uint64_t(kit::CommandKeyMask));
    EXPECT_EQ(kit::modifierFlagsFromToolkit(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, 0),
              uint64_t(kit::CommandKeyMask | kit::ShiftKeyMask | kit::AlternateKeyMask));
    EXPECT_EQ(kit::modifierFlagsFromToolkit(Qt::MetaModifier, 0), uint64_t(kit::ControlKeyMask));
    EXPECT_EQ(kit::modifierFlagsFromToolkit(Qt::NoModifier, 0), 0u);
}
