# The settings file on a POSIX file system: symbolic links, modes, a save killed midway (fork).
kv218_test(kv218_settings_posix_test settings_as_set_up_test.cpp)
