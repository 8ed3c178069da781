#pragma once

namespace qw {

// Where the current selection preview comes from: a selection inside an editable field (its
// translation may replace the selection) or anywhere else (it can only be copied).
enum class SelectedTranslationKind { input, page };

} // namespace qw
