#pragma once
// The copy engine: recreates a selection of a source volume's file tree inside
// one destination folder. Items checked whole are copied whole; partly checked
// folders are entered. One engine per run.
#include <memory>
#include <string>
#include <vector>

#include "Disk/FileNode.h"
#include "FileCopy/DoCopyFilesDelegate.h"

class DoCopyFiles {
public:
    using Nodes = std::vector<std::shared_ptr<FileNode>>;

    DoCopyFiles();
    // A worker still running is told to stop and forgets the delegate; it keeps
    // what it needs alive by itself.
    ~DoCopyFiles();
    DoCopyFiles(const DoCopyFiles&) = delete;
    DoCopyFiles& operator=(const DoCopyFiles&) = delete;

    // Starts the run on the global queue and returns at once. The worker holds
    // the nodes until it ends. false (nothing started, nothing reported) while
    // an earlier run of this engine is still under way.
    bool doCopyFilesWithArr(const Nodes& arr, const std::string& withCopyPath);
    // Whether a run is under way (from its start until the worker lets go).
    bool isRunning() const;

    // The parts of a run, on the calling thread. The first walk makes a folder
    // for each partly checked folder it meets, the second does not; each hands
    // the children of such a folder to the other.
    void doCopyFilesWithChiNode(const Nodes& arr, const std::string& withCopyPath);
    void doCopyFilesChiWithArr(const Nodes& arr, const std::string& withCopyPath);
    void toCopyFileWithNode(const std::shared_ptr<FileNode>& node, const std::string& withCopyPath);
    // The name under which an item called withFileNormalName goes into the folder
    // at path, trying withFileName first.
    std::string createFileWithPath(const std::string& path, const std::string& withFileNormalName,
                                   const std::string& withFileName);

    // Asks the run to stop: the item being copied ends within a chunk and what
    // this run made of it is removed (a whole item is never left half copied
    // under its name), and no report follows. Set it on the main thread so that
    // no report already on its way can arrive after the stop is shown.
    bool isCancel() const;
    void setIsCancel(bool v);

    // Not owned. Read on the main thread only, so clearing it there is enough
    // for a screen that goes away during a run.
    DoCopyFilesDelegate* delegate() const;
    void setDelegate(DoCopyFilesDelegate* d);

    struct Core;

private:
    std::shared_ptr<Core> core_;
};
