#pragma once
// Layout files: src/Resources/layouts/<Name>.json, found through the bundle.
// A file describes windows and views with their kit class, frame (the
// platform's coordinates: y up in an unflipped superview), properties,
// subviews, the owner's outlet each fills and the action each control sends:
//
//   { "window": { "class": "TCImageWindow", "contentRect": [0, 0, 888, 558],
//                 "styleMask": ["titled", "closable", "miniaturizable"],
//                 "outlet": "window", "visibleAtLaunch": true,
//                 "contentView": { "subviews": [
//                    { "class": "LeftButton", "frame": [0, 423, 164, 52], "outlet": "tab_diskclone",
//                      "action": "TopCloneButtonAction:" },
//                    { "class": "TextField", "frame": [20, 20, 200, 17], "text": "Disk Copy",
//                      "font": {"size": 13, "bold": true}, "textColor": [38, 52, 76] } ] } } }
//
// or { "view": { ... } } (or "views": [...]) for a view controller. Classes
// are looked up in a registry: the kit's own, and every class whose header
// registers itself with KIT_REGISTER_VIEW / KIT_REGISTER_WINDOW (a class is
// known once a source file of the program includes its header). Colours are
// [r, g, b] or [r, g, b, alpha] on the 0–255 scale.
//
// Binding is strict: an unknown class, property or outlet, an outlet the
// owner declared but the file does not fill, an outlet of the wrong class and
// an action the owner does not answer are load errors (LayoutError).
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "kit/Plist.h"
#include "kit/ui/Geometry.h"
#include "kit/ui/Responder.h"

namespace kit {

class View;
class Window;

class LayoutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using ViewFactory = std::function<std::shared_ptr<View>(const Rect& frame)>;
using WindowFactory = std::function<std::shared_ptr<Window>(const Rect& contentRect, unsigned styleMask)>;
bool registerViewClass(const std::string& name, ViewFactory factory);
bool registerWindowClass(const std::string& name, WindowFactory factory);
bool isRegisteredClass(const std::string& name);

struct LayoutContents {
    std::vector<std::shared_ptr<Window>> windows;
    std::vector<std::shared_ptr<View>> views;
};

// The owner of a layout file (the platform's File's Owner): it declares its
// outlets, which loading fills, and registers the actions the file names.
class LayoutOwner : public Responder {
public:
    template <class T>
    void declareOutlet(const std::string& name, std::shared_ptr<T>& slot) {
        outlets_[name] = [&slot](const std::shared_ptr<Object>& obj) {
            auto typed = std::dynamic_pointer_cast<T>(obj);
            if (!typed) return false;
            slot = typed;
            return true;
        };
    }
    bool hasOutlet(const std::string& name) const { return outlets_.count(name) != 0; }
    // Fills one outlet; false when the object is of the wrong class.
    bool setOutlet(const std::string& name, const std::shared_ptr<Object>& obj);
    std::vector<std::string> outletNames() const;
    // Called with the file's top-level objects once they are bound, before
    // any awakeFromNib.
    virtual void layoutDidLoad(const LayoutContents& contents) {}

private:
    std::map<std::string, std::function<bool(const std::shared_ptr<Object>&)>> outlets_;
};


// Loads the bundle's layout file `name` for `owner`; throws LayoutError.
LayoutContents loadLayout(const std::string& name, LayoutOwner& owner);
// The same from JSON text (the name is used in messages only).
LayoutContents loadLayoutFromJson(const std::string& json, const std::string& name, LayoutOwner& owner);

}  // namespace kit

#define KIT_REGISTER_VIEW(Cls)                                                                    \
    inline const bool kitRegisteredView_##Cls =                                                  \
        ::kit::registerViewClass(#Cls, [](const ::kit::Rect& f) { return std::make_shared<Cls>(f); })
#define KIT_REGISTER_WINDOW(Cls)                                                                   \
    inline const bool kitRegisteredWindow_##Cls = ::kit::registerWindowClass(                      \
        #Cls, [](const ::kit::Rect& r, unsigned m) { return std::make_shared<Cls>(r, m); })
