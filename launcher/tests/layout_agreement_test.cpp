// The launcher's own heap limits against the install layout's, which the
// installer checks --heap-mb with (cmake/TavelinLayout.cmake): an MSI must
// never store a heap the launcher would clamp. Checked when compiled.
#include "launcher/layout.h"
#include "launcher/vm_host.h"

static_assert(launcher::DEFAULT_HEAP_MB == tavelin::layout::DEFAULT_HEAP_MB, "the default heap differs from the layout's");
static_assert(launcher::MIN_HEAP_MB == tavelin::layout::MIN_HEAP_MB, "the smallest heap differs from the layout's");
static_assert(launcher::MAX_HEAP_MB == tavelin::layout::MAX_HEAP_MB, "the largest heap differs from the layout's");
