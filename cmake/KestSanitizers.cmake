# Every target, the library included, is instrumented: a fault that crosses the C boundary
# is caught on whichever side it happens.
add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)
