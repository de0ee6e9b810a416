# Native 32-bit Linux build: the plug-in's code is compiled as i386, so that
# pointers, records and calling conventions match the 32-bit Windows module.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
# Debian's multiarch i386 GoogleTest and Google Benchmark live here.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
