// DropDispatch.cpp - which job a dropped path goes to, and the drop handler's loop over the paths.
#include "DropDispatch.h"

#include <optional>

#include "CompressionJobs.h"
#include "FileSystem.h"
#include "FormDesign.h"
#include "PathText.h"

namespace forms {

DropAction ClassifyDroppedPath(const std::string& path, int eachFileState) {
    if (path.empty()) return DropAction::Skip;
    const std::optional<mMain::SourceEntry> target = mMain::ExamineTarget(path);
    if (!target) return DropAction::Skip;
    if (target->type == mMain::EntryType::File) {
        return target->system ? DropAction::Skip : DropAction::CompressFile;
    }
    if (target->type != mMain::EntryType::Folder || target->hidden || target->system) return DropAction::Skip;
    return eachFileState != 0 ? DropAction::CompressEachFile : DropAction::CompressFolder;
}

void DispatchDrop(DropWindow& window, const std::vector<std::string>& paths,
                  const std::string& commandPrefix) {
    window.ClearResults();
    if (!paths.empty()) {
        window.SetCaption(window.VersionCaption() + kBusySuffix);
        for (const std::string& path : paths) {
            window.RunPendingEvents();
            if (window.CloseRequested()) break;
            switch (ClassifyDroppedPath(path, window.EachFileState())) {
                case DropAction::CompressFile:
                    mMain::CompressFile(window, commandPrefix, path, mMain::GetParentFolderName(path));
                    break;
                case DropAction::CompressEachFile:
                    mMain::CompressEachFile(window, commandPrefix, path, mMain::GetParentFolderName(path));
                    break;
                case DropAction::CompressFolder:
                    mMain::CompressFolder(window, commandPrefix, path);
                    break;
                case DropAction::Skip:
                    break;
            }
        }
    }
    window.SetCaption(window.VersionCaption() + kDoneSuffix);
}

}  // namespace forms
