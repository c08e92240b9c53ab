#include "store/readerdesc.h"

#include <atomic>

namespace {
std::atomic<const IReaderDescriptions *> g_source{nullptr};
} // namespace

const IReaderDescriptions *SetReaderDescriptions(const IReaderDescriptions *source)
{
    return g_source.exchange(source);
}

const IReaderDescriptions *CurrentReaderDescriptions()
{
    return g_source.load();
}
