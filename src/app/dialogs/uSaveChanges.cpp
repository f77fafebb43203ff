#include "app/dialogs/uSaveChanges.h"

#include "app/resources/appimages.h"

namespace ordalyn {

TFMSaveChanges::TFMSaveChanges(QWidget* owner)
    : TQuestionForm(owner, "FMSaveChanges", kCaption, kClientWidth, kClientHeight, appimages::kQuestionImage,
                    kHeading, kQuestion) {}

}  // namespace ordalyn
