#include "analysis/CropMemory.h"

#include <cstdlib>
#include <limits>
#include <mutex>

namespace CropMemory {

namespace {

constexpr std::size_t headerBytes = 64;  // the block's capacity, keeping the pixels 64-byte aligned
constexpr std::size_t keepAtMost = std::size_t(64) << 20;

std::mutex keeperLock;
void* kept = nullptr;  // a block's start, its header
std::size_t keptCapacity = 0;
std::size_t reuseCount = 0;

std::size_t& capacityOf(void* block) { return *static_cast<std::size_t*>(block); }

void giveBack(void* block)
{
    {
        const std::lock_guard lock(keeperLock);
        if (capacityOf(block) <= keepAtMost && (!kept || keptCapacity < capacityOf(block))) {
            std::swap(kept, block);
            keptCapacity = capacityOf(kept);
        }
    }
    std::free(block);  // the smaller one, or nothing
}

void* take(std::size_t bytes)
{
    {
        const std::lock_guard lock(keeperLock);
        if (kept && keptCapacity >= bytes) {
            void* block = kept;
            kept = nullptr;
            keptCapacity = 0;
            ++reuseCount;
            return block;
        }
    }
    const std::size_t rounded = (headerBytes + bytes + headerBytes - 1) / headerBytes * headerBytes;
    void* block = std::aligned_alloc(headerBytes, rounded);
    if (block) capacityOf(block) = rounded - headerBytes;
    return block;
}

}  // namespace

QImage image(QSize size, QImage::Format format)
{
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (size.width() <= 0 || size.height() <= 0 || depth <= 0 || depth > 32) return {};
    const auto bytesPerLine = std::size_t((std::uint64_t(size.width()) * std::uint64_t(depth) + 31) / 32 * 4);
    if (bytesPerLine > std::size_t(std::numeric_limits<qsizetype>::max()) / std::size_t(size.height()) - headerBytes * 2)
        return {};
    void* block = take(bytesPerLine * std::size_t(size.height()));
    if (!block) return {};
    return QImage(static_cast<uchar*>(block) + headerBytes, size.width(), size.height(), qsizetype(bytesPerLine),
                  format, giveBack, block);
}

std::size_t reuses()
{
    const std::lock_guard lock(keeperLock);
    return reuseCount;
}

}  // namespace CropMemory
