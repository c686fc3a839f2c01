/* Calls the installed library through its header: the first setter call
 * answers the initial value, the totals start at 0. */
#include <gazref/gazref.h>
#include <stdio.h>

int main(void) {
  char message[512] = "";
  if (GZR_SetAddr_AnalyzeExClass(1) != 4) return 1;
  if (GZR_GetAddrTotal() != 0 || GZR_GetAddrFwTotal() != 0) return 2;
  if (GZR_StringArray_Sort_CSV_S(1, message) != 0 || message[0] == '\0') return 3;
  puts("consumer ok");
  return 0;
}
