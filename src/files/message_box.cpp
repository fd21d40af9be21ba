// Modal message boxes with no owner window: a notice with an OK button, and a question
// answered with Yes or No.
#include "conlib/files.hpp"
#include "platform/win.hpp"

namespace conlib {

using namespace win;

namespace {

// The title of a notice shown without a caption of its own.
constexpr char NoticeDefaultCaption[] = " ";
// The title of a question asked without a caption of its own.
constexpr char QuestionDefaultCaption[] = " ";

}  // namespace

void ShowNotice(const char* text, const char* caption) {
    if (caption == nullptr) caption = NoticeDefaultCaption;
    // The box has one button: which way it was dismissed tells nothing.
    static_cast<void>(win::MessageBoxA(nullptr, text, caption, MB_OK));
}

int AskYesNo(const char* text, const char* caption) {
    if (caption == nullptr) caption = QuestionDefaultCaption;
    return win::MessageBoxA(nullptr, text, caption, MB_YESNO | MB_ICONQUESTION);
}

}  // namespace conlib
