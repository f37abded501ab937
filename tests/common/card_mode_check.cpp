// The card mode check at the start of every test body.
#include "card_mode_check.h"

namespace zam {

VEXO_STATUS_t check_card_mode(const test_run& run, const mode_check_texts& texts, bool* end) {
  *end = false;
  emit(run, texts.verifying);
  VEXO_ZAM_OP_MODE_t mode = VEXO_ZAM_MODE_ADD_IN_CARD;
  const VEXO_STATUS_t query = QueryZAMMode(run.card, &mode);
  if (query != VEXO_STATUS_SUCCESS) {
    emit(run, texts.query_failed);
    if (texts.query_failure_ends) {
      *end = true;
      return query;
    }
  } else if (mode != VEXO_ZAM_MODE_ADD_IN_CARD) {
    emit(run, texts.not_add_in);
    *end = true;
    return texts.not_add_in_status;
  } else {
    emit(run, texts.add_in);
  }
  emit(run, texts.being_tested);
  return VEXO_STATUS_SUCCESS;
}

}  // namespace zam
