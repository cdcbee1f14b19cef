// The capture application's texts: slot 0 the text; for commands slot 2
// the status help and slot 3 the short caption.
#include "capture/app_texts.h"

TextRecord gAppTexts[] = {
    {IDS_PRODUCT, {"Vellumor Pro"}},
    {IDS_UNKNOWN, {"(Unknown)", "(Unnamed)"}},
    {IDS_CMD_TRAY, {"Tray", nullptr, "Tray menu", ""}},
    {IDS_CMD_CAPTURE, {"Capture Now!", nullptr, "Starts a new capture", "Capture"}},
    {IDS_CMD_SHOW, {"Show", nullptr, "Shows the main dialog", "Show"}},
    {IDS_CMD_HELP, {"Display Help", nullptr, "Displays the manual", "Help"}},
    {IDS_CMD_QUIT, {"Quit Vellumor Pro", nullptr, "", "Quit Vellumor Pro"}},
    {IDS_CANT_CREATE_FILE, {"Couldn't create file:\n%s"}},
    {IDS_CANT_EXECUTE, {"Can't execute:\n%s\nPlease check the edit options!"}},
    {IDS_CANT_SEND, {"Can't send the image to the specified destination."}},
    {IDS_NO_WORD,
     {"Unable to communicate with MS Word.\nPlease make sure that MS Word is running and that there is an active "
      "document."}},
    {IDS_CAPTURE_FIRST, {"Please capture an image first!"}},
    {IDS_NO_CLIPBOARD, {"Can't access the Clipboard!"}},
    {IDS_NO_PRINTER_ACCESS,
     {"Vellumor Pro could not access the selected printer!\nPlease make sure to have sufficient access rights to the "
      "selected printer."}},
    {IDS_CAPTURE_KEY_FAILED,
     {"The specified Capture Hot-Key could not be set!\nPlease select a different key combination."}},
    {IDS_SHOW_KEY_FAILED,
     {"The specified Vellumor Hot-Key could not be set!\nPlease select a different key combination."}},
    {IDS_IMAGE_WILL_BE_LOST, {"The image in the capture buffer will be lost!\nDo you want to continue?"}},
    {IDS_NO_EDITOR, {"No image editing program specified!\nPlease check the edit options."}},
    {IDS_BAD_SEQUENCE_PATH,
     {"Invalid path or filename for sequential save specified!\nPlease check the save options."}},
    {IDS_NO_PRINTER, {"No printer specified!\nPlease check the print options."}},
    {IDS_NO_MEMORY, {"Not enough memory!"}},
    {IDS_PRINTER_ERROR,
     {"Printer error (error code %d)!\nPlease reset your printer and try again.",
      "Printer error!\nPlease reset your printer and try again."}},
    {IDS_SAVE_FAILED, {"The image could not be saved!\nPlease check filename and disk space."}},
    {IDS_SELECT_AREA_FIRST, {"Please select an image area first!"}},
    {IDS_WRITE_ERROR, {"Unrecoverable write error!"}},
    {IDS_MARGINS_TOO_LARGE, {"The margins leave no room for the image!\nPlease check the print options."}},
    {IDS_WORD_BUSY, {"The image is still being sent to MS Word.\nPlease try again when that is done."}},
    {IDS_REPLACE_FILE, {"%s already exists.\nDo you want to replace it?"}},
    {kTextEnd, {}},
};
