// A shared library that loads but has no JNI_CreateJavaVM.
extern "C" int tavelinTestNotAVm() {
    return 0;
}
