// The loader's diary step: the AQASYS editor's lists and the diary binding, whose files
// belong to the diary interface.
#include "engine/config/config_steps.h"
#include "platform/text_file.h"

namespace tarvedde::config {

void LoadDiarySettings(LoadScope& load, DiaryInterface& diary) {
    if (!load.settings.permanentMode) {
        AqasysEditorLists& lists = load.dialogLists.aqasysEditor;
        lists.items = ReadLines(load.host.files, load.PathOf(kAqasysCodesFile)).value_or({});
        lists.names = ReadLines(load.host.files, load.PathOf(kAqasysNamesFile)).value_or({});
        lists.itemCount = static_cast<int>(lists.items.size());
    }
    diary.LoadDiaryBinding({load.programDir, load.settings.permanentMode, load.settings.nullStart,
                            load.settings.diaryOutput});
}

}  // namespace tarvedde::config
