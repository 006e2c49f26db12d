// Filling a GL buffer from an array that changes every frame.
#pragma once

#include <cstddef>

#include <glad/gl.h>

namespace Qvis {

// Fills the buffer bound at `target` with `bytes` from `data`, re-specifying
// its store only when it must grow; `capacity` tracks the store's size.
inline void uploadGrowing(GLenum target, size_t bytes, const void* data, size_t& capacity)
{
    if (bytes > capacity) {
        glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_DYNAMIC_DRAW);
        capacity = bytes;
    } else if (bytes > 0) {
        glBufferSubData(target, 0, static_cast<GLsizeiptr>(bytes), data);
    }
}

} // namespace Qvis
