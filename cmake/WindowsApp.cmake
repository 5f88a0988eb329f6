# The windows (dialogs/) over the Win32 skin, and orn.exe.
