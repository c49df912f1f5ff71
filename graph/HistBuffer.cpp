#include "graph/HistBuffer.h"

THistBuffer::THistBuffer(std::int32_t size)
    : data(std::make_unique<std::int32_t[]>(size)), capacity(size)
{
}

void THistBuffer::Push(std::int32_t value)
{
    data[head] = value;
    if (++head == capacity)
        head = 0;
    if (count < capacity)
        ++count;
}

std::int32_t THistBuffer::Recent(std::int32_t k) const
{
    if (k < 1 || k > count)
        return 0;
    const std::int32_t index = head - k;
    return data[index < 0 ? index + capacity : index];
}
