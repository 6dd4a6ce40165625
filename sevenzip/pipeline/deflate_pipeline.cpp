// deflate_pipeline.cpp - the worker threads, the in-order schedule of pieces and their delivery.
//
// Pieces are issued to workers strictly in delivery order (file by file, piece by piece), and only
// while the pieces issued but not yet delivered stay within the read-ahead bounds (bytes and count).
// The piece the writer waits for is therefore always issued first, so the bounds never stall
// delivery, and memory stays bounded.
#include "deflate_pipeline.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

#include "deflate_join.h"
#include "piece_encoder.h"
#include "pipeline_limits.h"
#include "source_reader.h"

namespace sevenzip {
namespace {

using detail::ReadStatus;

struct PieceResult {
    Piece piece;
    uint32_t crc = 0;     // CRC-32 of this piece's raw bytes
    uint64_t length = 0;  // raw bytes in this piece
};

// One listed file on its way through the pipeline. Shared by the workers that handle its pieces.
struct FileJob {
    SourceFile source;
    uint64_t pieceSize = 0;
    uint64_t pieceCount = 1;

    // Opened once, by the first worker to need it; every piece reads through the same descriptor,
    // which the worker that reads last closes.
    std::once_flag openOnce;
    io::Fd fd;
    ReadStatus openStatus;

    // Counts down as pieces are read; the worker that reads last checks the file is unchanged.
    std::atomic<uint64_t> piecesLeftToRead{1};
    ReadStatus finalStatus;

    // Guarded by Impl::mutex: finished pieces not yet delivered, and whether the writer gave up on
    // this file after an error.
    std::map<uint64_t, PieceResult> ready;
    bool abandoned = false;

    // Writer thread only: running CRC over the pieces delivered so far.
    uint32_t crc = 0;
};

struct Task {
    std::shared_ptr<FileJob> file;
    uint64_t piece = 0;
};

Piece errorPiece(int error, std::string message) {
    Piece p;
    p.error = error;
    p.message = std::move(message);
    p.last = true;
    return p;
}

}  // namespace

struct DeflatePipeline::Impl {
    explicit Impl(const CompressionOptions& options)
        : level(detail::encoderLevel(options)),
          threadLimit(std::clamp(options.threads != 0 ? options.threads : std::thread::hardware_concurrency(),
                                 1u, detail::kMaxWorkers)),
          readAheadBytes(detail::readAheadBytes(threadLimit)) {}

    const int level;
    const unsigned threadLimit;
    const uint64_t readAheadBytes;

    std::mutex mutex;
    std::condition_variable workAvailable;       // workers wait here for a piece to issue
    std::condition_variable pieceReady;          // the writer waits here for the piece it delivers next
    std::deque<std::shared_ptr<FileJob>> files;  // front: the file being delivered
    size_t issueFile = 0;                        // index in `files` of the next piece to issue
    uint64_t issuePiece = 0;
    uint64_t deliverPiece = 0;   // next piece of files.front() to deliver
    size_t inFlight = 0;         // pieces issued and not yet delivered or dropped
    uint64_t inFlightBytes = 0;  // their raw bytes
    bool stopping = false;
    uint64_t piecesAdded = 0;

    std::vector<std::thread> workers;  // touched by the writer thread only

    static uint64_t pieceLength(const FileJob& file, uint64_t piece) {
        return std::min(file.pieceSize, file.source.identity.size - piece * file.pieceSize);
    }

    bool canIssue() const {
        if (issueFile >= files.size()) return false;
        if (inFlight == 0) return true;
        return inFlight < detail::kMaxPiecesInFlight &&
               inFlightBytes + pieceLength(*files[issueFile], issuePiece) <= readAheadBytes;
    }

    // Forgets a piece that was issued, once delivered or dropped. Caller holds the mutex.
    void retire(const FileJob& file, uint64_t piece) {
        --inFlight;
        inFlightBytes -= pieceLength(file, piece);
    }

    // Takes the next piece in delivery order. Caller holds the mutex and has checked canIssue().
    Task issue() {
        Task task{files[issueFile], issuePiece};
        ++inFlight;
        inFlightBytes += pieceLength(*task.file, task.piece);
        if (++issuePiece == task.file->pieceCount) {
            ++issueFile;
            issuePiece = 0;
        }
        return task;
    }

    // Stores a worked piece for delivery, or drops it when its file was given up. Caller holds the mutex.
    void complete(Task& task, PieceResult&& result) {
        if (task.file->abandoned) {
            retire(*task.file, task.piece);
            workAvailable.notify_one();
            return;
        }
        task.file->ready.emplace(task.piece, std::move(result));
        pieceReady.notify_one();
    }

    // Removes the front file once it is delivered or given up. Caller holds the mutex.
    void popFront() {
        if (issueFile == 0)
            issuePiece = 0;  // the rest of an abandoned file is never issued
        else
            --issueFile;
        files.pop_front();
        deliverPiece = 0;
    }

    void workerLoop() {
        detail::PieceEncoder encoder(level);
        std::vector<uint8_t> buffer;
        std::unique_lock lock(mutex);
        for (;;) {
            workAvailable.wait(lock, [&] { return stopping || canIssue(); });
            if (stopping) return;
            Task task = issue();
            if (canIssue()) workAvailable.notify_one();  // room for more: wake the next idle worker
            lock.unlock();
            PieceResult result = work(task, encoder, buffer);
            lock.lock();
            complete(task, std::move(result));
        }
    }

    PieceResult work(const Task& task, detail::PieceEncoder& encoder, std::vector<uint8_t>& buffer) {
        try {
            return encode(task, encoder, buffer);
        } catch (const std::bad_alloc&) {
            PieceResult r;
            r.piece = errorPiece(ENOMEM, "'" + task.file->source.path + "': out of memory while compressing");
            return r;
        }
    }

    // Reads and compresses one piece. Runs without the mutex.
    PieceResult encode(const Task& task, detail::PieceEncoder& encoder, std::vector<uint8_t>& buffer) {
        FileJob& file = *task.file;
        PieceResult result;
        std::call_once(file.openOnce, [&] { file.openStatus = detail::openSource(file.source, file.fd); });
        if (!file.openStatus) {
            result.piece = errorPiece(file.openStatus.error, file.openStatus.message);
            return result;
        }

        const uint64_t offset = task.piece * file.pieceSize;
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>(file.pieceSize, file.source.identity.size - offset));
        buffer.resize(length);
        ReadStatus read = detail::readExactly(file.source, file.fd.get(), offset, length, buffer.data());
        const bool readLast = file.piecesLeftToRead.fetch_sub(1) == 1;
        if (!read) {
            result.piece = errorPiece(read.error, read.message);
            return result;
        }
        if (readLast) {
            // Every piece has been read: check the file is unchanged, then close it at once, so open
            // descriptors stay as few as the pieces being read rather than those waiting for the writer.
            file.finalStatus = detail::checkUnchanged(file.source, file.fd.get());
            file.fd = io::Fd();
        }

        result.length = length;
        result.crc = libdeflate_crc32(0, buffer.data(), length);
        const bool single = file.pieceCount == 1;
        const bool lastPiece = task.piece + 1 == file.pieceCount;

        if (level == 0) {  // every piece of every file goes out as it was read
            result.piece.bytes = std::move(buffer);
            result.piece.stored = true;
            return result;
        }
        encoder.encode(buffer.data(), length, result.piece.bytes);
        if (single && result.piece.bytes.size() >= length) {
            result.piece.bytes = std::move(buffer);  // does not shrink: deliver the content itself
            result.piece.stored = true;
            return result;
        }
        if (!lastPiece && !detail::makeJoinable(result.piece.bytes))
            result.piece =
                errorPiece(EIO, "'" + file.source.path + "': compressed piece could not be joined");
        return result;
    }

    // The writer's thread compresses too while it waits (see next()), so one worker fewer than the
    // thread limit keeps every core busy, and work that fits in one piece needs no worker at all: a
    // call for one small file then runs without starting a thread or handing work between threads.
    void startWorkers() {
        const uint64_t wanted = std::min<uint64_t>(threadLimit - 1, piecesAdded - 1);
        while (workers.size() < wanted) {
            try {
                workers.emplace_back([this] { workerLoop(); });
            } catch (const std::system_error&) {
                return;  // run with the workers we have; the writer's thread can do all the work
            }
        }
    }

    // The writer's thread takes the next piece in order and works it. Caller holds the mutex and has
    // checked canIssue().
    void helpOnce(std::unique_lock<std::mutex>& lock) {
        Task task = issue();
        lock.unlock();
        PieceResult result = work(task, writerEncoder, writerBuffer);
        lock.lock();
        complete(task, std::move(result));
    }

    // The writer's own encoder and read buffer, used while it helps.
    detail::PieceEncoder writerEncoder{level};
    std::vector<uint8_t> writerBuffer;
};

DeflatePipeline::DeflatePipeline(const CompressionOptions& options)
    : impl_(std::make_unique<Impl>(options)) {}

DeflatePipeline::~DeflatePipeline() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->workAvailable.notify_all();
    for (auto& worker : impl_->workers) worker.join();
}

void DeflatePipeline::add(SourceFile file) {
    auto job = std::make_shared<FileJob>();
    const detail::PiecePlan plan = detail::planPieces(file.identity.size, impl_->threadLimit);
    job->pieceSize = plan.pieceSize;
    job->pieceCount = plan.count;
    job->piecesLeftToRead = job->pieceCount;
    job->source = std::move(file);
    {
        std::lock_guard lock(impl_->mutex);
        impl_->piecesAdded += job->pieceCount;
        impl_->files.push_back(std::move(job));
    }
    impl_->workAvailable.notify_one();
    impl_->startWorkers();
}

Piece DeflatePipeline::next() {
    Impl& d = *impl_;
    std::unique_lock lock(d.mutex);
    if (d.files.empty()) return errorPiece(EINVAL, "no file is waiting to be compressed");
    std::shared_ptr<FileJob> file = d.files.front();
    const uint64_t key = d.deliverPiece;
    while (file->ready.count(key) == 0) {
        if (d.canIssue())
            d.helpOnce(lock);  // rather than sleep, work the next piece in order
        else
            d.pieceReady.wait(lock);
    }

    auto node = file->ready.extract(key);
    PieceResult& result = node.mapped();
    d.retire(*file, key);
    Piece piece = std::move(result.piece);
    if (piece.error == 0 && key + 1 == file->pieceCount && !file->finalStatus)
        piece = errorPiece(file->finalStatus.error, file->finalStatus.message);

    if (piece.error != 0) {
        // The writer stops at this file: drop its other finished pieces and issue no more of them.
        for (const auto& entry : file->ready) d.retire(*file, entry.first);
        file->ready.clear();
        file->abandoned = true;
        d.popFront();
        lock.unlock();
        d.workAvailable.notify_all();
        return piece;
    }

    file->crc =
        static_cast<uint32_t>(crc32_combine(file->crc, result.crc, static_cast<z_off_t>(result.length)));
    if (key + 1 == file->pieceCount) {
        piece.last = true;
        piece.crc = file->crc;
        piece.rawSize = file->source.identity.size;
        d.popFront();
    } else {
        ++d.deliverPiece;
    }
    lock.unlock();
    d.workAvailable.notify_one();
    return piece;
}

}  // namespace sevenzip
