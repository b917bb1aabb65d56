// Any bytes through the archive reader: it must fail cleanly or return entries that survive a round
// trip through the writer unchanged.
#include "services/ArchiveCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

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

    // Compared as written, so that dates compare by their bits: a stored NaN never equals itself.
    const QByteArray encoded = ArchiveCodec::encode(archive->entries);
    const auto again = ArchiveCodec::decode(encoded);
    const auto* second = std::get_if<ArchiveCodec::Archive>(&again);
    if (!second)
        failure("the reader refuses what the writer wrote");
    if (second->version != ArchiveCodec::currentVersion || ArchiveCodec::encode(second->entries) != encoded)
        failure("entries changed in a round trip");
    return 0;
}
