#include "worker/ShownPicture.h"

#include "worker/PictureTest.h"

QString ShownPicture::displayName() const {
    return PictureTest::lastComponent(name, QLatin1Char('/'));
}
