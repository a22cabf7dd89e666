// Compiled with one header named by QUILLET_PROBE_HEADER and one library's include paths: the
// layering tests expect it to compile for a header the library may see and to fail for one of a
// layer it must not reach.
#include QUILLET_PROBE_HEADER

int QuilletIncludeProbe()
{
    return 0;
}
