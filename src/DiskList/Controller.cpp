#include "DiskList/Controller.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "Disk/OVPublicUtilities.h"
#include "kit/Dispatch.h"
#include "kit/System.h"
#include "kit/Workspace.h"

namespace {

void gatherSelected(const FileNodeList& arr, FileNodeList& out) {
    for (const FileNode::Ptr& node : arr) {
        if (!node) continue;
        if (node->state() == FileNodeSelectStateOn) out.push_back(node);
        else if (node->state() == FileNodeSelectStateMixed && !node->children().empty())
            gatherSelected(node->children(), out);
    }
}

}  // namespace

Controller::Controller()
    : isStopRemove_(std::make_shared<std::atomic<bool>>(false)), alive_(std::make_shared<Controller*>(this)) {}

Controller::~Controller() {
    alive_.reset();
    isStopRemove_->store(true);
    if (eumeRoot_) {
        eumeRoot_->stopScan();
        eumeRoot_->setEumeDelegate(nullptr);
    }
}

void Controller::eumeAllRootFileNodeWithRootArr(const FileNodeArray& arr, const std::string& withRootPath,
                                                bool withCopyAll, bool withCopyFiles) {
    isCopyAllFiles_.store(withCopyAll);
    isCopyFiles_.store(withCopyFiles);
    if (eumeRoot_) {
        // The old lister's listings end here; a new one takes over.
        eumeRoot_->stopScan();
        eumeRoot_->setEumeDelegate(nullptr);
    }
    eumeRoot_ = std::make_shared<EumeRoot>();
    eumeRoot_->setEumeDelegate(this);
    eumeRoot_->eumeAllRootFileNodeWithRootArr(arr, listPathForPath(withRootPath));
    aRootArr_ = arr;
}

void Controller::endScan() {
    if (!isCopyAllFiles_.load()) return;
    ControllerDelegate* d = aDelegate();
    if (!d) return;
    if (isCopyFiles_.load()) d->copyFileScanFiles();
    else d->endScanFiles();
}

void Controller::getNodeListWithFaterNode(const FileNode::Ptr& node) {
    if (!eumeRoot_) {
        eumeRoot_ = std::make_shared<EumeRoot>();
        eumeRoot_->setEumeDelegate(this);
    }
    eumeRoot_->getNodeListWithFaterNode(node);
}

void Controller::endEumeNode() { reloadTree(); }

void Controller::changeSelectWithNode(const FileNode::Ptr& node, int64_t withSelectState) {
    changeChildrenFilNodeStateWithFileNode(node, static_cast<int8_t>(withSelectState));
    changeSelectAllButtonState();
    reloadTree();
}

void Controller::changeChildrenFilNodeStateWithFileNode(const FileNode::Ptr& node, int8_t withSelectState) {
    if (!node) return;
    node->setState(withSelectState != 0 ? FileNodeSelectStateOn : FileNodeSelectStateOff);
    if (!node->isDirectory() || node->children().empty()) return;
    // A copy: a redraw request below must not invalidate the walk.
    const FileNodeList children = node->children();
    for (const FileNode::Ptr& child : children) {
        child->setState(withSelectState);
        if (child->isDirectory() && node->isExpand()) changeSelectWithNode(child, withSelectState);
    }
}

void Controller::changeFatherNodeSelectStateWithFileNode(const FileNode::Ptr& node, int64_t withSelectState) {
    if (!node) return;
    if (FileNode::Ptr father = node->father()) {
        std::size_t selected = 0;
        bool anyPartly = false;
        for (const FileNode::Ptr& child : father->children()) {
            if (child->state() == FileNodeSelectStateOn) ++selected;
            else if (child->state() == FileNodeSelectStateMixed) anyPartly = true;
        }
        if (selected == father->children().size()) father->setState(FileNodeSelectStateOn);
        else if (selected > 0 || anyPartly) father->setState(FileNodeSelectStateMixed);
        else father->setState(FileNodeSelectStateOff);
        changeFatherNodeSelectStateWithFileNode(father, withSelectState);
    }
    changeSelectAllButtonState();
    reloadTree();
}

void Controller::changeSelectAllButtonState() {
    if (ControllerDelegate* d = aDelegate()) d->changeSelectAllButtonState();
}

void Controller::reloadTree() {
    if (ControllerDelegate* d = aDelegate()) d->reloadTreeList();
}

void Controller::openFileWithFileNode(const FileNode::Ptr& node) {
    if (!node || node->path().empty()) return;
    kit::Workspace::shared().selectFile(node->path(), "");
}

double Controller::getProgress() const { return eumeRoot_ ? eumeRoot_->getProgress() : 0.0; }

void Controller::stopScan() {
    if (eumeRoot_) eumeRoot_->stopScan();
}

void Controller::selectAllFileNode(int64_t state) {
    if (aRootArr_) {
        const FileNodeList top = *aRootArr_;
        for (const FileNode::Ptr& node : top) {
            node->setState(state);
            if (node->isExpand()) changeChildrenFilNodeStateWithFileNode(node, static_cast<int8_t>(state));
        }
    }
    changeSelectAllButtonState();
    reloadTree();
}

void Controller::pereviewFileWithFileNode(const FileNode::Ptr& node) {
    if (!node || node->path().empty()) return;
    kit::Workspace::shared().openFile(node->path());
}

void Controller::moveFileToTarsh() { reloadTree(); }

bool Controller::moveFileToTrash(const std::string& path) {
    std::string error;
    if (kit::Workspace::shared().moveItemToTrash(path, &error)) return true;
    kit::logf("--delete file error ---::%@", error);
    return false;
}

FileNodeList Controller::removeSelectFilesWithDic(const FileNodeList& arr) {
    FileNodeList out;
    gatherSelected(arr, out);
    return out;
}

void Controller::deleteFilesWithDic(const FileNodeList& arr) {
    if (arr.empty()) return;
    // Gathered here, on the main thread, where the states are kept; the
    // background walk only removes files and queues the list changes.
    FileNodeList items = removeSelectFilesWithDic(arr);
    isStopRemove_->store(false);
    std::weak_ptr<Controller*> alive = alive_;
    std::shared_ptr<std::atomic<bool>> stop = isStopRemove_;
    kit::dispatch::async(kit::dispatch::globalQueue(),
                         [alive, stop, arr, items] { deleteWalk(alive, stop, arr, items); });
}

void Controller::deleteFilesWithDic(const FileNodeList& arr, const FileNodeList& withDeleteArr) {
    deleteWalk(alive_, isStopRemove_, arr, withDeleteArr);
}

void Controller::deleteWalk(const std::weak_ptr<Controller*>& alive, const std::shared_ptr<std::atomic<bool>>& stop,
                            const FileNodeList& top, const FileNodeList& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (stop->load()) {
            kit::dispatch::async(kit::dispatch::mainQueue(), [alive, top] {
                std::shared_ptr<Controller*> self = alive.lock();
                if (!self) return;
                for (const FileNode::Ptr& node : top) (*self)->changeChildrenFilNodeStateWithFileNode(node, 0);
                if (ControllerDelegate* d = (*self)->aDelegate()) d->changeProgressWithPoint(100, "");
            });
            return;
        }
        const FileNode::Ptr item = items[i];
        std::error_code ec;
        std::filesystem::remove_all(item->path(), ec);
        if (ec) {
            kit::logf("--delete file error ---::%@", item->path() + ": " + ec.message());
            continue;
        }
        const int64_t percent = static_cast<int64_t>((i + 1) * 100 / items.size());
        // The lists are changed on the main thread only, by a controller that
        // still exists.
        kit::dispatch::async(kit::dispatch::mainQueue(), [alive, item, percent] {
            std::shared_ptr<Controller*> self = alive.lock();
            if (!self) return;
            Controller* c = *self;
            if (FileNode::Ptr father = item->father()) {
                auto& siblings = father->children();
                siblings.erase(std::remove(siblings.begin(), siblings.end(), item), siblings.end());
                c->changeChildrenFilNodeStateWithFileNode(father, 0);
            } else if (c->aRootArr_) {
                auto& list = *c->aRootArr_;
                list.erase(std::remove(list.begin(), list.end(), item), list.end());
            }
            if (ControllerDelegate* d = c->aDelegate()) d->changeProgressWithPoint(percent, item->path());
        });
    }
}

void Controller::stopRemove() { isStopRemove_->store(true); }

bool Controller::isListing() const { return eumeRoot_ && eumeRoot_->isListing(); }
bool Controller::isListingChildren() const { return eumeRoot_ && eumeRoot_->isListingChildren(); }

std::string Controller::listPathForPath(const std::string& path) {
    // A device node is a block or character device, or a name under /dev that
    // is no file here but may be one the disk tool knows; anything else under
    // /dev (a folder in /dev/shm) is what it is.
    struct stat st;
    const bool device = ::stat(path.c_str(), &st) == 0 ? S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode)
                                                        : path.rfind("/dev/", 0) == 0;
    if (!device) return path;
    std::optional<kit::Value> info = OVPublicUtilities::OVGetDiskInfo(path.c_str());
    const std::string mountPoint = info ? info->getString("MountPoint").value_or("") : std::string();
    if (mountPoint.empty()) {
        kit::logf("no mounted volume at %@", path);
        return path;
    }
    return mountPoint;
}
