// Holds an AudioFile made with new and closes it, freeing it, on every way out of the scope
// (early returns and exceptions alike). Close() closes it sooner and gives close's result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "AudioFile.h"

class AudioFileOwner {
  public:
    // A new file, not yet open.
    AudioFileOwner() : file_(new AudioFile()) {}
    // Holding nothing.
    explicit AudioFileOwner(std::nullptr_t) : file_(nullptr) {}
    ~AudioFileOwner() { Close(); }
    AudioFileOwner(const AudioFileOwner&) = delete;
    AudioFileOwner& operator=(const AudioFileOwner&) = delete;
    AudioFileOwner(AudioFileOwner&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
    AudioFileOwner& operator=(AudioFileOwner&& other) noexcept {
        if (this != &other) {
            Close();
            file_ = std::exchange(other.file_, nullptr);
        }
        return *this;
    }

    AudioFile* operator->() const { return file_; }
    AudioFile& operator*() const { return *file_; }
    AudioFile* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

    // Closes and frees the file (a writer's header is finished); 0 when nothing is held.
    int32_t Close() {
        AudioFile* file = std::exchange(file_, nullptr);
        return file != nullptr ? file->close(1) : 0;
    }

  private:
    AudioFile* file_;
};
