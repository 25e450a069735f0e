#pragma once
// Makes a fresh, empty temporary folder the process's working folder for one
// scope (the shell lines a test runs start there), then goes back to the old
// one and deletes the folder. A test that looks for a file a stray command
// would leave behind looks in a folder no earlier run could have left it in.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

class WorkingFolderGuard {
public:
    WorkingFolderGuard() {
        char old[4096];
        if (::getcwd(old, sizeof old)) old_ = old;
        std::string tmpl = (std::filesystem::temp_directory_path() / "pelorin-cwd-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) && ::chdir(tmpl.c_str()) == 0) path_ = tmpl;
    }
    ~WorkingFolderGuard() {
        if (!old_.empty() && ::chdir(old_.c_str()) != 0) return;
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    WorkingFolderGuard(const WorkingFolderGuard&) = delete;
    WorkingFolderGuard& operator=(const WorkingFolderGuard&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

private:
    std::string old_;
    std::string path_;
};
