// Drag and drop onto views: which view a drag reaches, the order of the
// destination's calls, Qt's drag data as the pasteboard, and Qt's own drag
// events going through the same path.
#include <QBuffer>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <string>
#include <vector>

#include "UiTest.h"
#include "kit/ui/DragDrop.h"
#include "kit/ui/QtBridge.h"

namespace {

using kit::Rect;
using uitest::UiTest;

class Target : public kit::View, public kit::DraggingDestination {
public:
    Target(const Rect& f, std::vector<std::string> types, unsigned answer = kit::DragOperationCopy)
        : View(f), answer_(answer) {
        registerForDraggedTypes(types);
    }
    unsigned draggingEntered(kit::DraggingInfo& info) override {
        calls.push_back("entered");
        mask = info.draggingSourceOperationMask();
        location = info.draggingLocation();
        return answer_;
    }
    void draggingExited(kit::DraggingInfo*) override { calls.push_back("exited"); }
    bool prepareForDragOperation(kit::DraggingInfo&) override {
        calls.push_back("prepare");
        return prepare;
    }
    bool performDragOperation(kit::DraggingInfo& info) override {
        calls.push_back("perform");
        if (auto v = info.draggingPasteboard().propertyListForType(kit::FilenamesPboardType); v && v->asArray())
            for (auto& p : *v->asArray()) paths.push_back(*p.asString());
        return perform;
    }
    void concludeDragOperation(kit::DraggingInfo*) override { calls.push_back("conclude"); }

    std::vector<std::string> calls, paths;
    unsigned mask = 0;
    kit::Point location;
    bool prepare = true, perform = true;

private:
    unsigned answer_;
};

struct Scene {
    std::shared_ptr<kit::Window> w = std::make_shared<kit::Window>(Rect(100, 100, 300, 200), kit::TitledWindowMask);
    std::shared_ptr<Target> back = std::make_shared<Target>(Rect(0, 0, 300, 200), std::vector<std::string>{kit::FilenamesPboardType});
    std::shared_ptr<Target> front = std::make_shared<Target>(Rect(20, 20, 100, 100), std::vector<std::string>{kit::FilenamesPboardType});
    std::shared_ptr<kit::View> cover = std::make_shared<kit::View>(Rect(30, 30, 40, 40));   // takes no drops
    Scene() {
        w->contentView()->addSubview(back);
        w->contentView()->addSubview(front);
        w->contentView()->addSubview(cover);
        w->orderFront();
    }
};

const kit::Pasteboard files = kit::Pasteboard::withFilenames({"/tmp/a", "/tmp/b c"});

TEST_F(UiTest, DropReachesTheFrontmostRegisteredViewUnderThePointer) {
    Scene s;
    EXPECT_EQ(kit::draggingDestinationAt(*s.w, {50, 50}, files), s.front.get());   // under a view that takes no drops
    EXPECT_EQ(kit::draggingDestinationAt(*s.w, {200, 150}, files), s.back.get());
    EXPECT_EQ(kit::draggingDestinationAt(*s.w, {50, 50}, kit::Pasteboard::withTIFF("x")), nullptr);   // type taken by none
    s.front->setHidden(true);
    EXPECT_EQ(kit::draggingDestinationAt(*s.w, {50, 50}, files), s.back.get());
    s.back->setHidden(true);
    EXPECT_EQ(kit::draggingDestinationAt(*s.w, {50, 50}, files), nullptr);
    EXPECT_FALSE(kit::simulateDrop(*s.w, {50, 50}, files));
    EXPECT_TRUE(s.front->calls.empty());

    // A hidden ancestor hides its subtree too.
    s.back->setHidden(false);
    auto inner = std::make_shared<Target>(Rect(0, 0, 10, 10), std::vector<std::string>{kit::FilenamesPboardType});
    auto box = std::make_shared<kit::View>(Rect(200, 20, 50, 50));
    box->addSubview(inner);
    s.w->contentView()->addSubview(box);
    EXPECT_EQ(kit::draggingDestinationAt(*s.w, {205, 25}, files), inner.get());
    box->setHidden(true);
    EXPECT_EQ(kit::draggingDestinationAt(*s.w, {205, 25}, files), s.back.get());
}

TEST_F(UiTest, DropRunsEnteredPreparePerformConclude) {
    Scene s;
    ASSERT_TRUE(kit::simulateDrop(*s.w, {50, 60}, files, kit::DragOperationGeneric));
    EXPECT_EQ(s.front->calls, (std::vector<std::string>{"entered", "prepare", "perform", "conclude"}));
    EXPECT_EQ(s.front->paths, (std::vector<std::string>{"/tmp/a", "/tmp/b c"}));
    EXPECT_EQ(s.front->mask, unsigned(kit::DragOperationGeneric));
    EXPECT_EQ(s.front->location, (kit::Point{50, 60}));

    // Refused at the door: exited, nothing performed.
    auto no = std::make_shared<Target>(Rect(150, 20, 50, 50), std::vector<std::string>{kit::FilenamesPboardType},
                                       kit::DragOperationNone);
    s.w->contentView()->addSubview(no);
    EXPECT_FALSE(kit::simulateDrop(*s.w, {160, 30}, files));
    EXPECT_EQ(no->calls, (std::vector<std::string>{"entered", "exited"}));

    // Refused in prepare or in perform: no conclusion.
    s.front->calls.clear();
    s.front->prepare = false;
    EXPECT_FALSE(kit::simulateDrop(*s.w, {50, 60}, files));
    EXPECT_EQ(s.front->calls, (std::vector<std::string>{"entered", "prepare"}));
    s.front->calls.clear();
    s.front->prepare = true;
    s.front->perform = false;
    EXPECT_FALSE(kit::simulateDrop(*s.w, {50, 60}, files));
    EXPECT_EQ(s.front->calls, (std::vector<std::string>{"entered", "prepare", "perform"}));

    // Unregistered: no longer a destination.
    s.front->unregisterDraggedTypes();
    EXPECT_EQ(kit::draggingDestinationAt(*s.w, {50, 60}, files), s.back.get());
}

TEST_F(UiTest, QtDragDataBecomesThePasteboard) {
    QMimeData uris;
    uris.setUrls({QUrl::fromLocalFile("/home/u/a file.txt"), QUrl("https://example.com/x"),
                  QUrl::fromLocalFile("/home/u/dir"), QUrl("file:relative"), QUrl("smb://host/share")});
    kit::Pasteboard pb = kit::pasteboardFromMimeData(uris);
    EXPECT_EQ(pb.types(), (std::vector<std::string>{kit::FilenamesPboardType}));
    auto list = pb.propertyListForType(kit::FilenamesPboardType);
    ASSERT_TRUE(list && list->asArray());
    ASSERT_EQ(list->asArray()->size(), 2u);
    EXPECT_EQ(*(*list->asArray())[0].asString(), "/home/u/a file.txt");
    EXPECT_EQ(*(*list->asArray())[1].asString(), "/home/u/dir");

    // Nothing local: no file list at all.
    QMimeData remote;
    remote.setUrls({QUrl("https://example.com/x")});
    EXPECT_TRUE(kit::pasteboardFromMimeData(remote).types().empty());
    QMimeData text;
    text.setText("/etc/passwd");
    EXPECT_TRUE(kit::pasteboardFromMimeData(text).types().empty());

    // Image data: the image case, asked for first.
    QImage img(4, 3, QImage::Format_ARGB32);
    img.fill(Qt::red);
    QMimeData both;
    both.setImageData(img);
    both.setUrls({QUrl::fromLocalFile("/x")});
    kit::Pasteboard ib = kit::pasteboardFromMimeData(both);
    EXPECT_EQ(ib.availableTypeFromArray({kit::PasteboardTypeTIFF, kit::FilenamesPboardType}),
              std::optional<std::string>(kit::PasteboardTypeTIFF));
    EXPECT_TRUE(ib.hasType(kit::FilenamesPboardType));
    auto bytes = ib.dataForType(kit::PasteboardTypeTIFF);
    ASSERT_TRUE(bytes);
    QImage back;
    EXPECT_TRUE(back.loadFromData(QByteArray::fromStdString(*bytes)));
    EXPECT_EQ(back.size(), QSize(4, 3));
}

TEST_F(UiTest, QtDragEventsGoThroughTheSession) {
    Scene s;
    QWindow* qw = kit::widgetOf(*s.w)->windowHandle();
    ASSERT_NE(qw, nullptr);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/srv/one"), QUrl::fromLocalFile("/srv/two")});
    // Qt's y runs down from the window's top: (50, 200 + 22 - 60) is (50, 60) in the window.
    const QPoint p(50, 222 - 60);
    QDragEnterEvent enter(p, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(qw, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    EXPECT_EQ(s.front->location, (kit::Point{50, 60}));
    EXPECT_EQ(s.front->mask, unsigned(kit::DragOperationCopy | kit::DragOperationMove | kit::DragOperationGeneric));
    // Moving over to the view behind: the first hears exited, the second entered.
    QDragMoveEvent move(QPoint(250, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(qw, &move);
    EXPECT_EQ(s.front->calls, (std::vector<std::string>{"entered", "exited"}));
    EXPECT_EQ(s.back->calls, (std::vector<std::string>{"entered"}));
    QDropEvent drop(QPointF(250, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(qw, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(s.back->calls, (std::vector<std::string>{"entered", "prepare", "perform", "conclude"}));
    EXPECT_EQ(s.back->paths, (std::vector<std::string>{"/srv/one", "/srv/two"}));

    // A drag that leaves the window: exited.
    s.front->calls.clear();
    QDragEnterEvent again(p, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(qw, &again);
    QDragLeaveEvent leave;
    QGuiApplication::sendEvent(qw, &leave);
    EXPECT_EQ(s.front->calls, (std::vector<std::string>{"entered", "exited"}));

    // Data no view takes is refused.
    QMimeData web;
    web.setUrls({QUrl("https://example.com/")});
    QDragEnterEvent refused(p, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(qw, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

}  // namespace
