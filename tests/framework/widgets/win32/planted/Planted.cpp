// A library planted beside the program, as a stranger's DLL in a Downloads folder would be.
extern "C" __declspec(dllexport) int TolvarPlanted() {
    return 1;
}
