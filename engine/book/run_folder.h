// A folder of the book builder's own for its runs, made below a folder the
// user names and removed with every file in it when the builder is done,
// whether it succeeded or not.
#pragma once

#include <string>
#include <vector>

namespace kavrin {

class RunFolder {
  public:
    RunFolder() = default;
    ~RunFolder() { Remove(); }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Makes a new folder named prefix + six random characters below parent;
    // false with message set when it cannot.
    bool Make(const std::string& parent, const std::string& prefix, std::string& message);
    // The path of a new file in the folder: kind, then a number of its own.
    std::string NewFile(const char* kind);
    // Removes one file made by NewFile early (a run merged into another).
    void Drop(const std::string& name);
    // Keeps the folder and its files (they are the result).
    void Keep() { kept_ = true; }
    // Removes the folder and every file in it (each is the builder's own).
    void Remove();
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::vector<std::string> files_;
    int made_ = 0;
    bool kept_ = false;
};

}  // namespace kavrin
