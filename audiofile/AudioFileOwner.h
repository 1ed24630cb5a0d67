// Holds an AudioFile on the heap, so that it can move between owners while open, and closes
// it on every way out of the scope (early returns and exceptions alike). Close() closes it
// sooner and gives close's result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "AudioFile.h"

class AudioFileOwner {
  public:
    // A new file, not yet open.
    AudioFileOwner() : file_(std::make_unique<AudioFile>()) {}
    // Holding nothing.
    explicit AudioFileOwner(std::nullptr_t) {}
    ~AudioFileOwner() { Close(); }
    AudioFileOwner(const AudioFileOwner&) = delete;
    AudioFileOwner& operator=(const AudioFileOwner&) = delete;
    AudioFileOwner(AudioFileOwner&& other) noexcept = default;
    AudioFileOwner& operator=(AudioFileOwner&& other) noexcept {
        if (this != &other) {
            Close();
            file_ = std::move(other.file_);
        }
        return *this;
    }

    AudioFile* operator->() const { return file_.get(); }
    AudioFile& operator*() const { return *file_; }
    AudioFile* get() const { return file_.get(); }
    explicit operator bool() const { return file_ != nullptr; }

    // Closes and frees the file (a writer's header is finished); 0 when nothing is held.
    int32_t Close() {
        const std::unique_ptr<AudioFile> file = std::move(file_);
        return file ? file->close() : 0;
    }

  private:
    std::unique_ptr<AudioFile> file_;
};
