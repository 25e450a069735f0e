#include "kit/ui/Layout.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <mutex>
#include <set>

#include "kit/Bundle.h"
#include "kit/ui/Application.h"
#include "kit/ui/Control.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/ProgressIndicator.h"
#include "kit/ui/TextField.h"
#include "kit/ui/View.h"
#include "kit/ui/Window.h"

namespace kit {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, ViewFactory> views;
    std::map<std::string, WindowFactory> windows;
};
Registry& registry() {
    static Registry r;
    return r;
}

// The kit's own classes.
const bool kitClasses = [] {
    registerViewClass("View", [](const Rect& f) { return std::make_shared<View>(f); });
    registerViewClass("Button", [](const Rect& f) { return std::make_shared<Button>(f); });
    registerViewClass("TextField", [](const Rect& f) { return std::make_shared<TextField>(f); });
    registerViewClass("ImageView", [](const Rect& f) { return std::make_shared<ImageView>(f); });
    registerViewClass("ProgressIndicator", [](const Rect& f) { return std::make_shared<ProgressIndicator>(f); });
    registerWindowClass("Window", [](const Rect& r, unsigned m) { return std::make_shared<Window>(r, m); });
    return true;
}();

Value toValue(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::Bool: return Value(v.toBool());
    case QJsonValue::Double: {
        double d = v.toDouble();
        if (d == double(int64_t(d)) && std::abs(d) < 9e15) return Value(int64_t(d));
        return Value(d);
    }
    case QJsonValue::String: return Value(v.toString().toStdString());
    case QJsonValue::Array: {
        Value::Array a;
        for (const auto& x : v.toArray()) a.push_back(toValue(x));
        return Value(std::move(a));
    }
    case QJsonValue::Object: {
        Value::Dict d;
        QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) d[it.key().toStdString()] = toValue(it.value());
        return Value(std::move(d));
    }
    default: return Value();
    }
}

class Loader {
public:
    Loader(const std::string& name, LayoutOwner& owner) : name_(name), owner_(owner) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw LayoutError("layout \"" + name_ + "\": " + what);
    }

    Rect rectOf(const QJsonValue& v, const char* key) const {
        QJsonArray a = v.toArray();
        if (a.size() != 4) fail(std::string("\"") + key + "\" must be [x, y, width, height]");
        return Rect(a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a[3].toDouble());
    }

    Color colorOf(const QJsonValue& v, const std::string& key) const {
        QJsonArray a = v.toArray();
        if (a.size() != 3 && a.size() != 4) fail("\"" + key + "\" must be [r, g, b] or [r, g, b, alpha]");
        return Color::rgb255(a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a.size() == 4 ? a[3].toDouble() : 1.0);
    }

    Font fontOf(const QJsonValue& v) const {
        QJsonObject o = v.toObject();
        double size = o.value("size").toDouble(13);
        std::string family = o.value("name").toString().toStdString();
        Font f = family.empty() ? Font::systemFont(size) : Font::fontWithName(family, size);
        if (o.value("bold").toBool()) f = Font::boldSystemFont(size);
        return f;
    }

    static ImageScaling scalingOf(const QJsonValue& v) {
        std::string s = v.toString().toStdString();
        return s == "axesIndependently"        ? ImageScaling::AxesIndependently
               : s == "none"                   ? ImageScaling::None
               : s == "proportionallyUpOrDown" ? ImageScaling::ProportionallyUpOrDown
                                               : ImageScaling::ProportionallyDown;
    }

    TextAlignment alignmentOf(const QJsonValue& v) const {
        std::string s = v.toString().toStdString();
        if (s == "left") return TextAlignment::Left;
        if (s == "right") return TextAlignment::Right;
        if (s == "center") return TextAlignment::Center;
        if (s == "justified") return TextAlignment::Justified;
        if (s == "natural") return TextAlignment::Natural;
        fail("unknown alignment \"" + s + "\"");
    }

    unsigned autoresizingOf(const QJsonValue& v) const {
        unsigned m = 0;
        for (const auto& x : v.toArray()) {
            std::string s = x.toString().toStdString();
            if (s == "width") m |= ViewWidthSizable;
            else if (s == "height") m |= ViewHeightSizable;
            else if (s == "minX") m |= ViewMinXMargin;
            else if (s == "maxX") m |= ViewMaxXMargin;
            else if (s == "minY") m |= ViewMinYMargin;
            else if (s == "maxY") m |= ViewMaxYMargin;
            else fail("unknown autoresizing flag \"" + s + "\"");
        }
        return m;
    }

    void bindOutlet(const QJsonObject& o, const std::shared_ptr<Object>& obj) {
        if (!o.contains("outlet")) return;
        std::string name = o.value("outlet").toString().toStdString();
        if (!owner_.hasOutlet(name)) fail("the owner has no outlet \"" + name + "\"");
        if (!owner_.setOutlet(name, obj)) fail("outlet \"" + name + "\" gets an object of the wrong class");
        filled_.insert(name);
    }

    void wireAction(Control& c, const QJsonObject& o) {
        if (!o.contains("action")) return;
        std::string action = o.value("action").toString().toStdString();
        std::string target = o.value("target").toString("owner").toStdString();
        c.setAction(action);
        if (target == "firstResponder") {
            c.setTarget(nullptr);
        } else if (target == "owner") {
            if (!owner_.respondsToAction(action)) fail("the owner does not answer the action \"" + action + "\"");
            c.setTarget(&owner_);
        } else {
            fail("unknown target \"" + target + "\"");
        }
    }

    void applyViewProperties(View& v, const QJsonObject& o) {
        static const std::set<std::string> structural = {"class", "frame", "subviews", "outlet", "action", "target"};
        for (auto it = o.begin(); it != o.end(); ++it) {
            const std::string key = it.key().toStdString();
            const QJsonValue val = it.value();
            if (structural.count(key)) continue;
            if (applyKnown(v, key, val)) continue;
            if (v.setLayoutProperty(key, toValue(val))) continue;
            fail("class \"" + o.value("class").toString("View").toStdString() + "\" has no property \"" + key + "\"");
        }
    }

    bool applyKnown(View& v, const std::string& key, const QJsonValue& val) {
        if (key == "hidden") { v.setHidden(val.toBool()); return true; }
        if (key == "alpha") { v.setAlphaValue(val.toDouble(1)); return true; }
        if (key == "tag") { v.setTag(val.toInt()); return true; }
        if (key == "identifier") { v.setIdentifier(val.toString().toStdString()); return true; }
        if (key == "toolTip") { v.setToolTip(val.toString().toStdString()); return true; }
        if (key == "autoresizing") { v.setAutoresizingMask(autoresizingOf(val)); return true; }
        if (auto* c = dynamic_cast<Control*>(&v)) {
            if (key == "enabled") { c->setEnabled(val.toBool(true)); return true; }
            if (key == "font") { c->setFont(fontOf(val)); return true; }
            if (key == "alignment") { c->setAlignment(alignmentOf(val)); return true; }
        }
        if (auto* b = dynamic_cast<Button*>(&v)) {
            if (key == "title") { b->setTitle(val.toString().toStdString()); return true; }
            if (key == "image") { b->setImage(Image::named(val.toString().toStdString())); return true; }
            if (key == "alternateImage") { b->setAlternateImage(Image::named(val.toString().toStdString())); return true; }
            if (key == "bordered") { b->setBordered(val.toBool()); return true; }
            if (key == "titleColor") { b->buttonCell()->setTitleColor(colorOf(val, key)); return true; }
            if (key == "imageScaling") { b->setImageScaling(scalingOf(val)); return true; }
            if (key == "imagePosition") {
                std::string s = val.toString().toStdString();
                b->setImagePosition(s == "imageOnly" ? ImagePosition::ImageOnly
                                    : s == "imageLeft" ? ImagePosition::ImageLeft
                                    : s == "noImage" ? ImagePosition::NoImage : ImagePosition::ImageOverlaps);
                return true;
            }
            if (key == "bezel") {
                std::string s = val.toString().toStdString();
                b->setBezelStyle(s == "texturedRounded" ? BezelStyle::TexturedRounded
                                 : s == "regularSquare" ? BezelStyle::RegularSquare
                                 : s == "inline" ? BezelStyle::Inline : BezelStyle::Rounded);
                return true;
            }
            if (key == "buttonType") {
                std::string s = val.toString().toStdString();
                b->setButtonType(s == "momentaryChange" ? ButtonType::MomentaryChange
                                 : s == "toggle" ? ButtonType::Toggle
                                 : s == "switch" ? ButtonType::Switch
                                 : s == "radio" ? ButtonType::Radio : ButtonType::MomentaryPushIn);
                return true;
            }
        }
        if (auto* t = dynamic_cast<TextField*>(&v)) {
            if (key == "text") { t->setStringValue(val.toString().toStdString()); return true; }
            if (key == "textColor") { t->setTextColor(colorOf(val, key)); return true; }
            if (key == "backgroundColor") { t->setBackgroundColor(colorOf(val, key)); return true; }
            if (key == "drawsBackground") { t->setDrawsBackground(val.toBool()); return true; }
            if (key == "bordered") { t->setBordered(val.toBool()); return true; }
            if (key == "bezeled") { t->setBezeled(val.toBool()); return true; }
            if (key == "editable") { t->setEditable(val.toBool()); return true; }
            if (key == "selectable") { t->setSelectable(val.toBool()); return true; }
            if (key == "placeholder") { t->setPlaceholderString(val.toString().toStdString()); return true; }
            if (key == "wraps") { t->setLineBreakMode(val.toBool() ? LineBreakMode::WordWrapping : LineBreakMode::Clipping); return true; }
        }
        if (auto* iv = dynamic_cast<ImageView*>(&v)) {
            if (key == "image") { iv->setImageNamed(val.toString().toStdString()); return true; }
            if (key == "scaling") { iv->setImageScaling(scalingOf(val)); return true; }
        }
        if (auto* p = dynamic_cast<ProgressIndicator*>(&v)) {
            if (key == "displayedWhenStopped") { p->setDisplayedWhenStopped(val.toBool()); return true; }
        }
        return false;
    }

    std::shared_ptr<View> makeView(const QJsonObject& o, std::optional<Rect> forcedFrame = std::nullopt) {
        std::string cls = o.value("class").toString("View").toStdString();
        ViewFactory factory;
        {
            std::lock_guard<std::mutex> lock(registry().mutex);
            auto it = registry().views.find(cls);
            if (it == registry().views.end()) fail("unknown view class \"" + cls + "\"");
            factory = it->second;
        }
        Rect frame = forcedFrame ? *forcedFrame : (o.contains("frame") ? rectOf(o.value("frame"), "frame") : Rect());
        std::shared_ptr<View> v = factory(frame);
        if (!v) fail("class \"" + cls + "\" made no view");
        applyViewProperties(*v, o);
        if (auto* c = dynamic_cast<Control*>(v.get())) wireAction(*c, o);
        else if (o.contains("action")) fail("class \"" + cls + "\" sends no actions");
        for (const auto& sub : o.value("subviews").toArray()) v->addSubview(makeView(sub.toObject()));
        bindOutlet(o, v);
        all_.push_back(v);
        return v;
    }

    unsigned styleOf(const QJsonValue& v) const {
        unsigned m = 0;
        for (const auto& x : v.toArray()) {
            std::string s = x.toString().toStdString();
            if (s == "titled") m |= TitledWindowMask;
            else if (s == "closable") m |= ClosableWindowMask;
            else if (s == "miniaturizable") m |= MiniaturizableWindowMask;
            else if (s == "resizable") m |= ResizableWindowMask;
            else if (s == "utility") m |= UtilityWindowMask;
            else if (s == "nonactivating") m |= NonactivatingPanelMask;
            else if (s == "borderless") {}
            else fail("unknown style \"" + s + "\"");
        }
        return m;
    }

    std::shared_ptr<Window> makeWindow(const QJsonObject& o) {
        std::string cls = o.value("class").toString("Window").toStdString();
        WindowFactory factory;
        {
            std::lock_guard<std::mutex> lock(registry().mutex);
            auto it = registry().windows.find(cls);
            if (it == registry().windows.end()) fail("unknown window class \"" + cls + "\"");
            factory = it->second;
        }
        Rect content = rectOf(o.value("contentRect"), "contentRect");
        std::shared_ptr<Window> w = factory(content, styleOf(o.value("styleMask")));
        if (!w) fail("class \"" + cls + "\" made no window");
        static const std::set<std::string> structural = {"class", "contentRect", "styleMask", "outlet", "contentView",
                                                         "visibleAtLaunch"};
        for (auto it = o.begin(); it != o.end(); ++it) {
            const std::string key = it.key().toStdString();
            const QJsonValue val = it.value();
            if (structural.count(key)) continue;
            if (key == "title") w->setTitle(val.toString().toStdString());
            else if (key == "opaque") w->setOpaque(val.toBool());
            else if (key == "backgroundColor") w->setBackgroundColor(colorOf(val, key));
            else if (key == "movableByWindowBackground") w->setMovableByWindowBackground(val.toBool());
            else if (key == "hasShadow") w->setHasShadow(val.toBool());
            else if (key == "level") w->setLevel(val.toInt());
            else if (w->setLayoutProperty(key, toValue(val))) {}
            else fail("window class \"" + cls + "\" has no property \"" + key + "\"");
        }
        if (o.contains("contentView")) {
            Rect cr = w->contentView() ? w->contentView()->frame() : Rect(0, 0, content.width(), content.height());
            w->setContentView(makeView(o.value("contentView").toObject(), cr));
        }
        bindOutlet(o, w);
        windows_.push_back(w);
        if (o.value("visibleAtLaunch").toBool()) toShow_.push_back(w);
        return w;
    }

    LayoutContents load(const QJsonObject& root) {
        static const std::set<std::string> keys = {"window", "windows", "view", "views", "comment"};
        for (auto it = root.begin(); it != root.end(); ++it)
            if (!keys.count(it.key().toStdString())) fail("unknown top-level key \"" + it.key().toStdString() + "\"");
        LayoutContents out;
        if (root.contains("window")) out.windows.push_back(makeWindow(root.value("window").toObject()));
        for (const auto& w : root.value("windows").toArray()) out.windows.push_back(makeWindow(w.toObject()));
        if (root.contains("view")) out.views.push_back(makeView(root.value("view").toObject()));
        for (const auto& v : root.value("views").toArray()) out.views.push_back(makeView(v.toObject()));
        for (const auto& name : owner_.outletNames())
            if (!filled_.count(name)) fail("outlet \"" + name + "\" is not connected");
        owner_.layoutDidLoad(out);
        // Wake the objects (children before parents, as they were made), then the owner.
        for (auto& v : all_) v->awakeFromNib();
        for (auto& w : windows_) w->awakeFromNib();
        owner_.awakeFromNib();
        for (auto& w : toShow_) w->makeKeyAndOrderFront();
        return out;
    }

private:
    std::string name_;
    LayoutOwner& owner_;
    std::set<std::string> filled_;
    std::vector<std::shared_ptr<View>> all_;
    std::vector<std::shared_ptr<Window>> windows_;
    std::vector<std::shared_ptr<Window>> toShow_;
};

}  // namespace

bool registerViewClass(const std::string& name, ViewFactory factory) {
    (void)kitClasses;
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().views[name] = std::move(factory);
    return true;
}

bool registerWindowClass(const std::string& name, WindowFactory factory) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().windows[name] = std::move(factory);
    return true;
}

bool isRegisteredClass(const std::string& name) {
    (void)kitClasses;
    std::lock_guard<std::mutex> lock(registry().mutex);
    return registry().views.count(name) || registry().windows.count(name);
}

bool LayoutOwner::setOutlet(const std::string& name, const std::shared_ptr<Object>& obj) {
    auto it = outlets_.find(name);
    return it != outlets_.end() && it->second(obj);
}

std::vector<std::string> LayoutOwner::outletNames() const {
    std::vector<std::string> out;
    for (auto& [k, v] : outlets_) out.push_back(k);
    return out;
}

LayoutContents loadLayoutFromJson(const std::string& json, const std::string& name, LayoutOwner& owner) {
    ensureUiApp();
    QJsonParseError err;
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &err);
    if (doc.isNull() || !doc.isObject())
        throw LayoutError("layout \"" + name + "\": not a JSON object (" + err.errorString().toStdString() + ")");
    return Loader(name, owner).load(doc.object());
}

LayoutContents loadLayout(const std::string& name, LayoutOwner& owner) {
    auto path = Bundle::main().pathForResource(name, "json");
    if (!path) throw LayoutError("layout \"" + name + "\": no such file in the bundle");
    QFile f(QString::fromStdString(*path));
    if (!f.open(QIODevice::ReadOnly)) throw LayoutError("layout \"" + name + "\": cannot be read");
    return loadLayoutFromJson(f.readAll().toStdString(), name, owner);
}

}  // namespace kit
