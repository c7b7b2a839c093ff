#include "book/game_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "system/binary_io.h"

#ifdef KAVRIN_HAVE_ZSTD
#include <zstd.h>
#endif
#ifdef KAVRIN_HAVE_ZLIB
#include <zlib.h>
#endif

namespace kavrin {

namespace {

// Compressed bytes read from the file at a time.
constexpr size_t RawBufferBytes = 1 << 20;
constexpr uint8_t ZstdMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
constexpr uint8_t GzipMagic[2] = {0x1F, 0x8B};

const char* FormName(GameInput::Form form) { return form == GameInput::Form::Zstd ? "zstd" : "gzip"; }

}  // namespace

// The state of the decompressor of the file's form.
struct GameInput::Decoder {
#ifdef KAVRIN_HAVE_ZSTD
    ZSTD_DCtx* zstd = nullptr;
    size_t zstdLeft = 0;  // what the last call said is still owed to the frame (0: frame complete)
#endif
#ifdef KAVRIN_HAVE_ZLIB
    z_stream gzip{};
    bool gzipOpen = false;
    bool gzipMemberDone = true;  // the last member ended (or none began)
#endif
    ~Decoder() {
#ifdef KAVRIN_HAVE_ZSTD
        if (zstd != nullptr) ZSTD_freeDCtx(zstd);
#endif
#ifdef KAVRIN_HAVE_ZLIB
        if (gzipOpen) inflateEnd(&gzip);
#endif
    }
};

GameInput::GameInput() = default;

GameInput::~GameInput() {
    if (file_ != nullptr && ownsFile_) std::fclose(file_);
}

bool GameInput::Reads(Form form) {
    switch (form) {
        case Form::Plain:
            return true;
        case Form::Zstd:
#ifdef KAVRIN_HAVE_ZSTD
            return true;
#else
            return false;
#endif
        case Form::Gzip:
#ifdef KAVRIN_HAVE_ZLIB
            return true;
#else
            return false;
#endif
    }
    return false;
}

bool GameInput::Fail(const std::string& message) {
    failed_ = true;
    message_ = message;
    return false;
}

bool GameInput::Open(const std::string& name) {
    name_ = name == "-" ? "standard input" : name;
    if (name == "-") {
        file_ = stdin;
    } else {
        file_ = std::fopen(name.c_str(), "rb");
        ownsFile_ = true;
        if (file_ == nullptr) return Fail("cannot open '" + name + "': " + std::strerror(errno));
        const FileFacts facts = StatOpenFile(file_);
        if (facts.known && !facts.regular) return Fail("'" + name + "' is not a file");
        fileSize_ = facts.size;
    }
    // The first bytes tell the form; they stay in the buffer for what follows.
    raw_.resize(RawBufferBytes);
    while (rawEnd_ < sizeof ZstdMagic && !rawEnded_) {
        const size_t got = ReadRaw(raw_.data() + rawEnd_, sizeof ZstdMagic - rawEnd_);
        if (failed_) return false;
        rawEnd_ += got;
    }
    if (rawEnd_ >= sizeof ZstdMagic && std::memcmp(raw_.data(), ZstdMagic, sizeof ZstdMagic) == 0)
        form_ = Form::Zstd;
    else if (rawEnd_ >= sizeof GzipMagic && std::memcmp(raw_.data(), GzipMagic, sizeof GzipMagic) == 0)
        form_ = Form::Gzip;
    if (!Reads(form_))
        return Fail("'" + name_ + "' is " + FormName(form_) +
                    "-compressed, which this build of kavrin-book cannot read (" +
                    (form_ == Form::Zstd ? "libzstd-dev" : "zlib1g-dev") + " was missing when it was built)");
    decoder_ = std::make_unique<Decoder>();
#ifdef KAVRIN_HAVE_ZSTD
    if (form_ == Form::Zstd) {
        decoder_->zstd = ZSTD_createDCtx();
        if (decoder_->zstd == nullptr) return Fail("no memory for the zstd decoder");
    }
#endif
#ifdef KAVRIN_HAVE_ZLIB
    if (form_ == Form::Gzip) {
        // 15 + 32: the largest window, gzip or zlib header told by itself.
        if (inflateInit2(&decoder_->gzip, 15 + 32) != Z_OK) return Fail("cannot start the gzip decoder");
        decoder_->gzipOpen = true;
    }
#endif
    return true;
}

size_t GameInput::ReadRaw(uint8_t* out, size_t n) {
    const size_t got = std::fread(out, 1, n, file_);
    fileBytesRead_ += got;
    if (got < n) {
        if (std::ferror(file_)) {
            Fail("cannot read " + name_ + ": " + std::strerror(errno));
            return 0;
        }
        rawEnded_ = true;
    }
    return got;
}

size_t GameInput::Read(char* out, size_t n) {
    if (failed_ || n == 0) return 0;
    // 1. Refill the buffer of file bytes when it is empty.
    auto refill = [&] {
        if (rawAt_ < rawEnd_ || rawEnded_) return;
        rawAt_ = 0;
        rawEnd_ = ReadRaw(raw_.data(), raw_.size());
    };
    // 2. Plain text: the bytes as they are.
    if (form_ == Form::Plain) {
        size_t done = 0;
        while (done < n && !failed_) {
            refill();
            if (rawAt_ == rawEnd_) break;
            const size_t take = std::min(n - done, rawEnd_ - rawAt_);
            std::memcpy(out + done, raw_.data() + rawAt_, take);
            rawAt_ += take;
            done += take;
        }
        return failed_ ? 0 : done;
    }
    // 3. Compressed: decode until out holds something or the file ends; a
    // file that ends inside a frame or member was cut short.
    size_t done = 0;
    while (done == 0 && !failed_) {
        refill();
        if (failed_) return 0;
        [[maybe_unused]] const bool atEnd = rawAt_ == rawEnd_ && rawEnded_;
#ifdef KAVRIN_HAVE_ZSTD
        if (form_ == Form::Zstd) {
            if (atEnd && decoder_->zstdLeft == 0) return 0;
            // At the end of the file the decoder may still hold output.
            ZSTD_inBuffer in{raw_.data(), rawEnd_, rawAt_};
            ZSTD_outBuffer o{out, n, 0};
            const size_t left = ZSTD_decompressStream(decoder_->zstd, &o, &in);
            if (ZSTD_isError(left)) {
                Fail(name_ + " is damaged: zstd says " + ZSTD_getErrorName(left));
                return 0;
            }
            decoder_->zstdLeft = left;
            rawAt_ = in.pos;
            done = o.pos;
            if (atEnd && done == 0) {
                Fail(name_ + " is cut short: its last zstd frame is incomplete");
                return 0;
            }
            continue;
        }
#endif
#ifdef KAVRIN_HAVE_ZLIB
        if (form_ == Form::Gzip) {
            z_stream& z = decoder_->gzip;
            if (atEnd && decoder_->gzipMemberDone) return 0;
            if (decoder_->gzipMemberDone) {
                // Another member follows (concatenated gzip files read as one).
                if (inflateReset(&z) != Z_OK) {
                    Fail("cannot restart the gzip decoder");
                    return 0;
                }
                decoder_->gzipMemberDone = false;
            }
            z.next_in = raw_.data() + rawAt_;
            z.avail_in = static_cast<uInt>(rawEnd_ - rawAt_);
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = static_cast<uInt>(std::min<size_t>(n, 1u << 30));
            const int status = inflate(&z, Z_NO_FLUSH);
            rawAt_ = rawEnd_ - z.avail_in;
            done = static_cast<size_t>(reinterpret_cast<char*>(z.next_out) - out);
            if (status == Z_STREAM_END) {
                decoder_->gzipMemberDone = true;
            } else if (atEnd && done == 0) {
                Fail(name_ + " is cut short: its last gzip member is incomplete");
                return 0;
            } else if (status != Z_OK && !(status == Z_BUF_ERROR && done == 0 && rawAt_ == rawEnd_)) {
                Fail(name_ + " is damaged: gzip says " + (z.msg != nullptr ? z.msg : "data error"));
                return 0;
            }
            continue;
        }
#endif
        return 0;
    }
    return failed_ ? 0 : done;
}

}  // namespace kavrin
