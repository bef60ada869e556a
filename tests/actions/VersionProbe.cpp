// The code of the version probe modules: nothing but one export, so each is a valid module
// that carries its version resource.
extern "C" __declspec(dllexport) int VersionProbe() {
    return 1;
}
