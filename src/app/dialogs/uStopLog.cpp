#include "app/dialogs/uStopLog.h"

#include "app/resources/appimages.h"

namespace ordalyn {

TFMStopLog::TFMStopLog(QWidget* owner)
    : TQuestionForm(owner, "FMStopLog", kCaption, kClientWidth, kClientHeight, appimages::kWarningImage,
                    kHeading, kQuestion) {}

}  // namespace ordalyn
