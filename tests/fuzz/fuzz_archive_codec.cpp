// Any bytes through the archive reader: it must fail cleanly or return entries that survive a round
// trip through the writer unchanged.
#include "services/ArchiveCodec.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool sameBits(Timestamp a, Timestamp b)
{
    return std::bit_cast<quint64>(a.secondsSinceReferenceDate) ==
           std::bit_cast<quint64>(b.secondsSinceReferenceDate);
}

// Member-wise equality, except that dates compare by their bits: a stored NaN is never equal to itself.
bool sameEntries(QList<ClipboardEntry> a, QList<ClipboardEntry> b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!sameBits(a[i].capturedAt, b[i].capturedAt) || !sameBits(a[i].lastCopiedAt, b[i].lastCopiedAt))
            return false;
        a[i].capturedAt = b[i].capturedAt = Timestamp{};
        a[i].lastCopiedAt = b[i].lastCopiedAt = Timestamp{};
    }
    return a == b;
}

[[noreturn]] void failure(const char* what)
{
    std::fprintf(stderr, "fuzz_archive_codec: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto decoded = ArchiveCodec::decode(QByteArrayView(data, qsizetype(size)));
    const auto* archive = std::get_if<ArchiveCodec::Archive>(&decoded);
    if (!archive) {
        if (std::get<ArchiveCodec::DecodingError>(decoded).description.isEmpty())
            failure("a decoding error without a description");
        return 0;
    }
    if (archive->version != ArchiveCodec::currentVersion) {
        if (!archive->entries.isEmpty())
            failure("entries decoded from an unsupported version");
        return 0;
    }

    const QByteArray encoded = ArchiveCodec::encode(archive->entries);
    const auto again = ArchiveCodec::decode(encoded);
    const auto* second = std::get_if<ArchiveCodec::Archive>(&again);
    if (!second)
        failure("the reader refuses what the writer wrote");
    if (second->version != ArchiveCodec::currentVersion || !sameEntries(second->entries, archive->entries))
        failure("entries changed in a round trip");
    if (ArchiveCodec::encode(second->entries) != encoded)
        failure("the writer is not deterministic");
    return 0;
}
