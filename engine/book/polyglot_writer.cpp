#include "book/polyglot_writer.h"

#include "system/binary_io.h"

namespace kavrin {

PolyglotWriter::~PolyglotWriter() {
    if (file_ != nullptr) std::fclose(file_);
}

bool PolyglotWriter::Create(const std::string& name) {
    name_ = name;
    file_ = std::fopen(name.c_str(), "wb");
    if (file_ == nullptr) {
        message_ = "cannot create " + name;
        return false;
    }
    batch_.resize(BatchEntries * PolyglotEntrySize);
    return true;
}

bool PolyglotWriter::Add(const PolyglotEntry& entry) {
    EncodePolyglotEntry(entry, batch_.data() + filled_ * PolyglotEntrySize);
    if (++filled_ == BatchEntries) {
        written_ = written_ && WriteBytes(file_, batch_.data(), filled_ * PolyglotEntrySize);
        filled_ = 0;
    }
    return written_;
}

bool PolyglotWriter::Finish() {
    written_ = written_ && WriteBytes(file_, batch_.data(), filled_ * PolyglotEntrySize);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed || !written_) {
        message_ = "cannot write " + name_;
        return false;
    }
    return true;
}

}  // namespace kavrin
