# Warnings on, and an error, for the project's own code.
add_library(veltra_warnings INTERFACE)
target_compile_options(veltra_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)
