#include "book/run_folder.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kavrin {

bool RunFolder::Make(const std::string& parent, const std::string& prefix, std::string& message) {
    std::string pattern = (parent.empty() ? std::string(".") : parent) + "/" + prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        message = "cannot make a folder in '" + parent + "': " + std::strerror(errno);
        return false;
    }
    path_ = name.data();
    return true;
}

std::string RunFolder::NewFile(const char* kind) {
    char number[16];
    std::snprintf(number, sizeof number, "%06d", ++made_);
    files_.push_back(path_ + "/" + kind + "-" + number + ".run");
    return files_.back();
}

void RunFolder::Drop(const std::string& name) {
    std::remove(name.c_str());
    files_.erase(std::remove(files_.begin(), files_.end(), name), files_.end());
}

void RunFolder::Remove() {
    if (path_.empty() || kept_) return;
    // Everything in it is the builder's own.
    if (DIR* dir = opendir(path_.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                std::remove((path_ + "/" + entry->d_name).c_str());
        }
        closedir(dir);
    }
    rmdir(path_.c_str());
    path_.clear();
    files_.clear();
}

}  // namespace kavrin
