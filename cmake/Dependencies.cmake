# Third-party libraries, all from Debian packages installed by tools/setup.sh.
# Their headers are SYSTEM includes so that their warnings never count as ours.
find_package(Threads REQUIRED)
find_package(TBB REQUIRED)
find_package(nlohmann_json 3.11 REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(HWY REQUIRED IMPORTED_TARGET libhwy libhwy-contrib)
pkg_check_modules(UUID REQUIRED IMPORTED_TARGET uuid)
pkg_check_modules(LIBRAW REQUIRED IMPORTED_TARGET libraw_r)
pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)
pkg_check_modules(LIBHEIF REQUIRED IMPORTED_TARGET libheif)
pkg_check_modules(EXIV2 REQUIRED IMPORTED_TARGET exiv2)
find_package(TIFF REQUIRED)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)

foreach(target PkgConfig::HWY PkgConfig::UUID PkgConfig::LIBRAW PkgConfig::LCMS2 PkgConfig::LIBHEIF PkgConfig::EXIV2)
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  if(dirs)
    set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${dirs}")
  endif()
endforeach()

# OpenCV's DNN module runs the dust model. Debian's libopencv-dnn-dev ships neither a CMake
# package nor a pkg-config file (only the all-modules libopencv-dev does), so the two libraries
# and the opencv4 header folder are found by hand. Imported targets make the headers SYSTEM
# includes: they warn under C++20.
find_path(OPENCV_INCLUDE_DIR opencv2/dnn.hpp PATH_SUFFIXES opencv4 REQUIRED)
find_library(OPENCV_CORE_LIBRARY opencv_core REQUIRED)
find_library(OPENCV_DNN_LIBRARY opencv_dnn REQUIRED)
add_library(OpenCV::core UNKNOWN IMPORTED)
set_target_properties(OpenCV::core PROPERTIES IMPORTED_LOCATION ${OPENCV_CORE_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${OPENCV_INCLUDE_DIR})
add_library(OpenCV::dnn UNKNOWN IMPORTED)
set_target_properties(OpenCV::dnn PROPERTIES IMPORTED_LOCATION ${OPENCV_DNN_LIBRARY}
  INTERFACE_LINK_LIBRARIES OpenCV::core)

# The program's model: Qt Core, Gui and Network, and QCoro for coroutines on Qt's event loop;
# the program's desktop side adds Qt Widgets.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Network Test Widgets)
find_package(QCoro6 REQUIRED COMPONENTS Core)
