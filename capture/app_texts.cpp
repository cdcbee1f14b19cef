// The capture application's texts: slot 0 the text; for commands slot 2
// the status help and slot 3 the short caption.
#include "app_texts.h"

TextRecord gAppTexts[] = {
    {0, {"Vellumor Pro"}},
    {10, {"(Unknown)", "(Unnamed)"}},
    {1000, {"Tray", nullptr, "Tray menu", ""}},
    {4000, {"Capture Now!", nullptr, "Starts a new capture", "Capture"}},
    {4010, {"Show", nullptr, "Shows the main dialog", "Show"}},
    {4020, {"Display Help", nullptr, "Displays the manual", "Help"}},
    {4030, {"Quit Vellumor Pro", nullptr, "", "Quit Vellumor Pro"}},
    {5000, {"Couldn't create file:\n%s"}},
    {5010, {"Can't execute:\n%s\nPlease check the edit options!"}},
    {5020, {"Can't send the image to the specified destination."}},
    {5030,
     {"Unable to communicate with MS Word.\nPlease make sure that MS Word is running and that there is an active "
      "document."}},
    {5040, {"Please capture an image first!"}},
    {5050, {"Can't access the Clipboard!"}},
    {5060,
     {"Vellumor Pro could not access the selected printer!\nPlease make sure to have sufficient access rights to the "
      "selected printer."}},
    {5070, {"The specified Capture Hot-Key could not be set!\nPlease select a different key combination."}},
    {5080, {"The specified Vellumor Hot-Key could not be set!\nPlease select a different key combination."}},
    {5100, {"The image in the capture buffer will be lost!\nDo you want to continue?"}},
    {5110, {"No image editing program specified!\nPlease check the edit options."}},
    {5120, {"Invalid path or filename for sequential save specified!\nPlease check the save options."}},
    {5130, {"No printer specified!\nPlease check the print options."}},
    {5140, {"Not enough memory!"}},
    {5150, {"Printer error (error code %d)!\nPlease reset your printer and try again."}},
    {5160, {"The image could not be saved!\nPlease check filename and disk space."}},
    {5170, {"Please select an image area first!"}},
    {5180, {"Unrecoverable write error!"}},
    {0xFFFF, {}},
};
