#pragma once
// Drag and drop onto views: the dragging pasteboard, the operation mask, the
// information a destination is handed and the destination protocol.
//
// A view that takes drops also derives from DraggingDestination and
// registers the pasteboard types it takes (usually in its constructor):
//
//   class DropView : public kit::View, public kit::DraggingDestination {
//   public:
//       explicit DropView(const kit::Rect& f) : View(f) {
//           registerForDraggedTypes({kit::FilenamesPboardType});
//       }
//       unsigned draggingEntered(kit::DraggingInfo& info) override { return kit::DragOperationCopy; }
//       bool performDragOperation(kit::DraggingInfo& info) override { ... }
//   };
//
// The destination of a drag is the frontmost visible view under the pointer
// that registered a type the pasteboard holds (views above it that take no
// drops don't block it; a hidden view, or one with a hidden ancestor, gets
// nothing). The sequence is the platform's: draggingEntered (and
// draggingUpdated while the pointer moves over the same view), then, for a
// release where the answer was not DragOperationNone, prepareForDragOperation,
// performDragOperation and, when that succeeded, concludeDragOperation; a
// drag that leaves, or a drop that is refused, gets draggingExited.
//
// From the window system, Qt's drag data becomes the pasteboard: the
// "text/uri-list" entries that are local files become FilenamesPboardType, an
// array of absolute paths (anything else in the list is skipped, and with no
// local file left the type is absent); image data becomes PasteboardTypeTIFF
// (the image's own bytes, readable with kit::imageFromData). simulateDrop()
// runs the same sequence for tests.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/Plist.h"
#include "kit/ui/Geometry.h"

class QMimeData;

namespace kit {

class View;
class Window;

inline constexpr const char* PasteboardTypeTIFF = "NSTIFFPboardType";
inline constexpr const char* FilenamesPboardType = "NSFilenamesPboardType";

// Operation masks (the platform's bits).
enum DragOperation : unsigned {
    DragOperationNone = 0,
    DragOperationCopy = 1,
    DragOperationLink = 2,
    DragOperationGeneric = 4,
    DragOperationPrivate = 8,
    DragOperationMove = 16,
    DragOperationDelete = 32,
    DragOperationEvery = 0xffffffffu,
};

// What is being dragged, by type, in the order it was put there.
class Pasteboard {
public:
    // An array of path strings under FilenamesPboardType.
    static Pasteboard withFilenames(const std::vector<std::string>& paths);
    // Image bytes under PasteboardTypeTIFF.
    static Pasteboard withTIFF(std::string bytes);

    std::vector<std::string> types() const;
    bool hasType(const std::string& type) const;
    // The first of `types` that the pasteboard holds.
    std::optional<std::string> availableTypeFromArray(const std::vector<std::string>& types) const;
    void setPropertyList(Value plist, const std::string& type);
    std::optional<Value> propertyListForType(const std::string& type) const;
    void setData(std::string bytes, const std::string& type);
    std::optional<std::string> dataForType(const std::string& type) const;

private:
    std::vector<std::pair<std::string, Value>> items_;
};

class DraggingInfo {
public:
    DraggingInfo(Pasteboard pasteboard, unsigned sourceMask, Point locationInWindow, Window* window)
        : pasteboard_(std::move(pasteboard)), mask_(sourceMask), location_(locationInWindow), window_(window) {}
    const Pasteboard& draggingPasteboard() const { return pasteboard_; }
    unsigned draggingSourceOperationMask() const { return mask_; }
    // The pointer, in the destination window's base coordinates.
    Point draggingLocation() const { return location_; }
    Window* draggingDestinationWindow() const { return window_; }

private:
    Pasteboard pasteboard_;
    unsigned mask_;
    Point location_;
    Window* window_;
};

class DraggingDestination {
public:
    virtual ~DraggingDestination();

    // The operation the view would perform (DragOperationNone refuses).
    virtual unsigned draggingEntered(DraggingInfo& info) { return DragOperationNone; }
    // Unless overridden, the answer draggingEntered gave.
    virtual unsigned draggingUpdated(DraggingInfo& info) { return enteredOperation_; }
    virtual void draggingExited(DraggingInfo* info) {}
    virtual bool prepareForDragOperation(DraggingInfo& info) { return true; }
    virtual bool performDragOperation(DraggingInfo& info) { return false; }
    virtual void concludeDragOperation(DraggingInfo* info) {}

    // The object must also be the View that takes the drops.
    void registerForDraggedTypes(const std::vector<std::string>& types);
    void unregisterDraggedTypes();
    const std::vector<std::string>& registeredDraggedTypes() const { return types_; }

    // kit internal
    unsigned enteredOperation_ = DragOperationNone;

private:
    std::vector<std::string> types_;
};

// The view that would take a drop of `pasteboard` at a point of the window's
// base coordinates, or nullptr.
View* draggingDestinationAt(Window& window, Point inWindow, const Pasteboard& pasteboard);

// Drops `pasteboard` at a point of the window's base coordinates as a user's
// drag would: entered, then prepare, perform and conclude. True when the
// destination performed the drop.
bool simulateDrop(Window& window, Point inWindow, const Pasteboard& pasteboard,
                  unsigned sourceMask = DragOperationCopy | DragOperationGeneric | DragOperationMove);

// kit internal: the pasteboard for Qt's drag data (see the top of the file).
Pasteboard pasteboardFromMimeData(const QMimeData& data);

}  // namespace kit
