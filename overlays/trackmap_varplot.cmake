# Track map and variable plot overlays.
target_sources(overlays PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/TrackMapController.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TrackMapModel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TrackMapView.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VariablePlotController.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VariablePlotModel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VariablePlotView.cpp
)
