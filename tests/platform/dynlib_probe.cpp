// Loaded by the DynLib test; one exported name to look up.
extern "C" int plat_probe_answer()
{
    return 42;
}
