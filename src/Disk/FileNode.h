#pragma once
// One entry of a volume's file tree with its three-state check mark. A parent
// owns its children; a child refers to its parent weakly.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum FileNodeSelectState : int64_t {
    FileNodeSelectStateOff = 0,
    FileNodeSelectStateOn = 1,
    FileNodeSelectStateMixed = 2,
};

struct FileNodeRect {
    double x = 0, y = 0, width = 0, height = 0;
};

class FileNode : public std::enable_shared_from_this<FileNode> {
public:
    using Ptr = std::shared_ptr<FileNode>;

    // A node in state On, with no children, size 0, not expanded.
    static Ptr initWithPath(const std::string& path, const std::string& withName, bool isDirectory,
                            const Ptr& withFather);

    const std::string& path() const { return path_; }
    void setPath(const std::string& v) { path_ = v; }
    const std::string& name() const { return name_; }
    void setName(const std::string& v) { name_ = v; }
    // The last component of the path, whatever was set.
    std::string displayName() const;
    void setDisplayName(const std::string& v) { displayName_ = v; }
    int64_t state() const { return state_; }
    void setState(int64_t v) { state_ = v; }
    bool isDirectory() const { return isDirectory_; }
    void setIsDirectory(bool v) { isDirectory_ = v; }
    uint64_t size() const { return size_; }
    void setSize(uint64_t v) { size_ = v; }
    Ptr father() const { return father_.lock(); }
    void setFather(const Ptr& v) { father_ = v; }
    std::vector<Ptr>& children() { return children_; }
    const std::vector<Ptr>& children() const { return children_; }
    void setChildren(const std::vector<Ptr>& v) { children_ = v; }
    // The name of the bundle image for the path: "ic_folder" for a folder, else "ic_file".
    std::string icon() const;
    void setIcon(const std::string& v) { icon_ = v; }
    // Whether the path is listed in the bundle's "SystemFile", asked afresh.
    bool isSystemFile() const;
    void setIsSystemFile(bool v) { isSystemFile_ = v; }
    int32_t isButtonState() const { return isButtonState_; }
    void setIsButtonState(int32_t v) { isButtonState_ = v; }
    FileNodeRect checkBoxRect() const { return checkBoxRect_; }
    void setCheckBoxRect(const FileNodeRect& v) { checkBoxRect_ = v; }
    bool isExpand() const { return isExpand_; }
    void setIsExpand(bool v) { isExpand_ = v; }

    // -1 when this node is larger (it goes first), 1 when smaller, 0 when equal.
    int compareSize(const FileNode& other) const;
    // Orders the children, and theirs, largest first.
    void decendingSort();

private:
    FileNode() = default;
    std::string name_, path_;
    bool isDirectory_ = false;
    bool isSystemFile_ = false;
    std::vector<Ptr> children_;
    int64_t state_ = FileNodeSelectStateOn;
    std::weak_ptr<FileNode> father_;
    std::string icon_;
    uint64_t size_ = 0;
    int32_t isButtonState_ = 0;
    std::string displayName_;
    FileNodeRect checkBoxRect_;
    bool isExpand_ = false;
};
