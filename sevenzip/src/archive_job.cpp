// archive_job.cpp - one command's steps in order, with the pipeline feeding the ZIP writer.
#include "archive_job.h"

#include <cstdio>

#include <zlib.h>

#include "archive_mode.h"
#include "archive_publish.h"
#include "archive_verify.h"
#include "command_parser.h"
#include "deflate_pipeline.h"
#include "failure.h"
#include "file_selection.h"
#include "sevenzip32.h"
#include "zip_writer.h"

namespace sevenzip {
namespace {

// Writes every selected entry in order: folders and links directly, files from the pipeline's pieces.
// Returns what the archive must hold, for verification.
std::vector<ExpectedEntry> writeEntries(const Command& command, const std::vector<SelectedEntry>& entries,
                                        ZipWriter& writer) {
    DeflatePipeline pipeline(CompressionOptions{command.level, 0});
    for (const SelectedEntry& entry : entries)
        if (entry.kind == EntryKind::File)
            pipeline.add(SourceFile{entry.path, entry.identity, entry.throughLink});

    std::vector<ExpectedEntry> expected;
    expected.reserve(entries.size());
    for (const SelectedEntry& entry : entries) {
        if (entry.kind == EntryKind::Folder) {
            writer.addFolder(entry);
            expected.push_back({entry.name + "/", 0, 0});
            continue;
        }
        if (entry.kind == EntryKind::Link) {
            writer.addLink(entry);
            const auto* target = reinterpret_cast<const Bytef*>(entry.linkTarget.data());
            expected.push_back({entry.name, entry.linkTarget.size(),
                                static_cast<uint32_t>(crc32_z(0, target, entry.linkTarget.size()))});
            continue;
        }
        bool first = true;
        for (;;) {
            Piece piece = pipeline.next();
            if (piece.error != 0) throw Failure(SEVENZIP_E_READ, entry.path + ": " + piece.message);
            if (first) writer.openFile(entry, piece.stored);
            first = false;
            writer.writeData(piece.bytes.data(), piece.bytes.size());
            if (!piece.last) continue;
            if (piece.rawSize != entry.identity.size)
                throw Failure(SEVENZIP_E_READ, entry.path + ": read " + std::to_string(piece.rawSize) +
                                                   " bytes where " + std::to_string(entry.identity.size) +
                                                   " were listed");
            writer.closeFile(piece.rawSize, piece.crc);
            expected.push_back({entry.name, piece.rawSize, piece.crc});
            break;
        }
    }
    writer.finish();
    return expected;
}

}  // namespace

std::string runCommand(std::string_view text) {
    const Command command = parseCommand(text);
    const ArchiveTarget target(command.archive);
    const std::vector<SelectedEntry> entries =
        selectEntries(command, Exclusion{target.absolutePath(), target.tempPrefix()});

    TempArchive temp(target);
    std::vector<ExpectedEntry> expected;
    {
        ZipWriter writer(temp.fd(), command.level);
        expected = writeEntries(command, entries, writer);
    }
    verifyArchive(temp.fd(), expected);
    // The written archive's group decides its mode; its size, unchanged by publishing, the report.
    io::FileInfo archive;
    const bool archiveKnown = io::statAt(temp.fd(), "", archive, false) == 0;
    std::string archiveFolder, archiveName;
    io::splitPath(target.absolutePath(), archiveFolder, archiveName);
    temp.publish(archiveMode(entries, archiveFolder, archiveKnown ? archive.group : ~uint32_t{0}));

    size_t files = 0, folders = 0, links = 0;
    uint64_t bytes = 0;
    for (const SelectedEntry& entry : entries) {
        files += entry.kind == EntryKind::File;
        folders += entry.kind == EntryKind::Folder;
        links += entry.kind == EntryKind::Link;
        bytes += entry.identity.size;
    }
    const uint64_t archiveBytes = archiveKnown ? archive.size : 0;
    char summary[256];
    std::snprintf(summary, sizeof summary, "%zu files, %zu folders, %zu links; %llu bytes in %llu bytes",
                  files, folders, links, static_cast<unsigned long long>(bytes),
                  static_cast<unsigned long long>(archiveBytes));
    return "Archive " + target.absolutePath() + ": " + summary + "\n";
}

}  // namespace sevenzip
