// The label of an assigned key on the keyboard picture.
#pragma once

#include <QString>

#include "kb/keys/KeyRecordTable.h"

namespace kb::app {

// The record's key name; when it has an assigned name, then " : " and that name translated.
QString AssignmentLabel(const KeyRecord& record);

}  // namespace kb::app
