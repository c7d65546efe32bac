#include "raster/buffer.hpp"

#include "base/handles.hpp"
#include "base/memory.hpp"
#include "raster/draw.hpp"

#include <cstring>

namespace zoetra {

// The ring of all buffers: circular and doubly linked through the buffers
// themselves. The head is where the memory handler starts looking; new
// buffers go just before it, at the end of the ring.
struct buffer_ring {
    buffer* head = nullptr;

    static buffer_ring& instance() {
        // The ring is the first source of freeable memory: registered once,
        // when the first buffer is made, and never taken back (it must outlive
        // every buffer, including ones destroyed at exit).
        static buffer_ring ring = [] {
            register_memory_source(0, [] { return buffer::swap_out_one(); });
            return buffer_ring{};
        }();
        return ring;
    }

    void link(buffer& b) {
        if (head == nullptr) {
            b.next_ = b.previous_ = &b;
            head = &b;
            return;
        }
        buffer* last = head->previous_;
        b.previous_ = last;
        b.next_ = head;
        last->next_ = &b;
        head->previous_ = &b;
    }

    void unlink(buffer& b) {
        if (b.next_ == &b) {
            head = nullptr;
        } else {
            if (head == &b)
                head = b.next_;
            b.previous_->next_ = b.next_;
            b.next_->previous_ = b.previous_;
        }
        b.next_ = b.previous_ = nullptr;
    }
};

buffer::buffer(std::uint16_t width, std::uint16_t height, colour background)
    : width_(width), height_(height), background_(background),
      storage_(allocate_handle(byte_size())) {
    buffer_ring::instance().link(*this);
    buffer_lock hold(*this);
    fast_fill(*this, background_);
}

buffer::~buffer() {
    locked_ = false;
    buffer_ring::instance().unlink(*this);
    if (on_disk_) {
        // A temporary file is deleted when it is closed.
        std::fclose(swap_file_);
        swap_file_ = nullptr;
    } else {
        release_handle(storage_);
    }
}

std::unique_ptr<buffer> buffer::copy() const {
    // Locking brings the pixels back from disk and keeps them there while the
    // new block is allocated; it changes no visible state of the source.
    auto& source = const_cast<buffer&>(*this);
    buffer_lock hold(source);
    auto twin = std::make_unique<buffer>(width_, height_, background_);
    buffer_lock twin_hold(*twin);
    std::memcpy(twin->pixels(), pixels(), byte_size());
    return twin;
}

void buffer::lock() {
    if (on_disk_)
        swap_in();
    locked_ = true;
}

void buffer::unlock() {
    locked_ = false;
}

pixel* buffer::pixels() {
    return static_cast<pixel*>(handle_block(storage_));
}
const pixel* buffer::pixels() const {
    return static_cast<const pixel*>(handle_block(storage_));
}

void buffer::swap_out() {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        swappable_ = false;
        return;
    }
    lock();
    bool written =
        std::fwrite(pixels(), 1, byte_size(), file) == byte_size() && std::fflush(file) == 0;
    if (!written) {
        report_memory("Failed writing to disk.");
        swappable_ = false;
        std::fclose(file);
        unlock();
        return;
    }
    swap_file_ = file;
    on_disk_ = true;
    unlock();
    release_handle(storage_);
    storage_ = no_handle;
}

void buffer::swap_in() {
    // Not a candidate for the allocation below, which may send others to disk.
    bool was_swappable = swappable_;
    swappable_ = false;
    on_disk_ = false;
    storage_ = allocate_handle(byte_size());
    report_memory("Reading buffer from disk.");
    locked_ = true;
    bool read = std::fseek(swap_file_, 0, SEEK_SET) == 0 &&
                std::fread(pixels(), 1, byte_size(), swap_file_) == byte_size();
    std::fclose(swap_file_);
    swap_file_ = nullptr;
    if (!read) {
        // The pixels are lost; start again from the background rather than
        // hand out whatever the new block held.
        report_memory("Failed reading buffer from disk.");
        fast_fill(*this, background_);
    }
    locked_ = false;
    swappable_ = was_swappable;
}

bool buffer::swap_out_one() {
    buffer_ring& ring = buffer_ring::instance();
    buffer* start = ring.head;
    if (start == nullptr)
        return false;
    buffer* candidate = start;
    do {
        buffer* following = candidate->next_;
        if (candidate->can_swap()) {
            candidate->swap_out();
            if (candidate->on_disk_) {
                ring.head = following;
                return true;
            }
            // The swap file failed: the buffer is now unswappable; look further.
        }
        candidate = following;
    } while (candidate != start);
    return false;
}

int buffer::ring_size() {
    buffer* head = buffer_ring::instance().head;
    if (head == nullptr)
        return 0;
    int count = 0;
    const buffer* at = head;
    do {
        ++count;
        at = at->next_;
    } while (at != head);
    return count;
}

} // namespace zoetra
