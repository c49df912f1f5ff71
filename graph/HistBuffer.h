#pragma once

#include <cstdint>
#include <memory>

// Ring of the newest `capacity` rate samples; the oldest is overwritten once the ring is full.
class THistBuffer {
public:
    explicit THistBuffer(std::int32_t size);
    THistBuffer(const THistBuffer&) = delete;
    THistBuffer& operator=(const THistBuffer&) = delete;

    void Push(std::int32_t value);
    // The k-th most recent sample (k = 1 is the newest); 0 when there is no such sample.
    std::int32_t Recent(std::int32_t k) const;

    std::int32_t Capacity() const { return capacity; }
    std::int32_t Count() const { return count; }
    std::int32_t Head() const { return head; }

private:
    std::unique_ptr<std::int32_t[]> data;
    std::int32_t capacity;
    std::int32_t count = 0;
    // Slot that the next sample is written to.
    std::int32_t head = 0;
};
