// Stage marks on the road from the screen to an image file, for the
// capture benchmark's split of the time. Nothing is timed unless a
// benchmark installs a hook: a mark is then a load and a branch.
#pragma once

enum SaveStage {
    kStageScreenRead,  // the screen into the frozen picture
    kStageImageCopy,   // the image made from the frozen picture
    kStageColour,      // the conversion to the colour mode
    kStageFilter,      // PNG row filters (and the byte order of the file)
    kStageDeflate,     // the compression of the filtered rows
    kStageFileWrite,   // opening, writing and closing the file
    kStageCount
};

// Called at the start (begin true) and end of each stage, on the thread
// that runs the stage; stages do not nest.
typedef void (*SaveStageHook)(int stage, bool begin);
extern SaveStageHook gSaveStageHook;

inline void MarkSaveStage(int stage, bool begin) {
    if (gSaveStageHook)
        gSaveStageHook(stage, begin);
}
