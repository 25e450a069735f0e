#include "Comm/DragView.h"

#include "kit/System.h"
#include "kit/ui/Application.h"
#include "kit/ui/ViewImage.h"

DragView::DragView(const kit::Rect& frame) : View(frame) {
    registerForDraggedTypes({kit::PasteboardTypeTIFF, kit::FilenamesPboardType});
}

unsigned DragView::draggingEntered(kit::DraggingInfo& info) {
    kit::Cursor::dragCopy().set();
    return (info.draggingSourceOperationMask() & kit::DragOperationGeneric) ? kit::DragOperationGeneric
                                                                            : kit::DragOperationNone;
}

bool DragView::performDragOperation(kit::DraggingInfo& info) {
    const kit::Pasteboard& pb = info.draggingPasteboard();
    const auto type = pb.availableTypeFromArray({kit::PasteboardTypeTIFF, kit::FilenamesPboardType});
    if (type && *type == kit::PasteboardTypeTIFF) {
        auto data = pb.dataForType(kit::PasteboardTypeTIFF);
        if (data && kit::imageFromData(*data)) {
            setNeedsDisplay(true);
            return true;
        }
        kit::systemLog("Error: MyNSView performDragOperation zPasteboardData == nil");
        return false;
    }
    if (type && *type == kit::FilenamesPboardType) {
        // Only absolute paths are files of this machine; a list without any
        // is no drop at all.
        std::vector<std::string> paths;
        if (auto plist = pb.propertyListForType(kit::FilenamesPboardType); plist && plist->asArray())
            for (const kit::Value& v : *plist->asArray())
                if (auto s = v.asString(); s && v.isString() && !s->empty() && (*s)[0] == '/') paths.push_back(*s);
        if (!paths.empty()) {
            viewDragAction(paths);
            return true;
        }
    }
    kit::systemLog("Error MyNSView performDragOperation");
    return false;
}

void DragView::viewDragAction(const std::vector<std::string>& paths) {
    if (DragViewDelegate* d = delegate_.get()) d->viewDragAction(paths);
}
