// The helper's image embedded as a resource of the program.
#include "tests/support/helper_process.h"
#include "upgrade/replacer/image/vuReplacerImage.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(upgrade_replacer_Image, ResourceHoldsTheBuiltHelper) {
    const QString path = vu::vuReplacerImageResourcePath();
    EXPECT_EQ(path, QStringLiteral(":/VUUPD/VUUPD"));
    QFile resource(path);
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const QByteArray image = resource.readAll();
    const std::optional<std::string> built = vutest::ReadFile(VU_TEST_HELPER);
    ASSERT_TRUE(built);
    ASSERT_GT(image.size(), 1000);
    EXPECT_EQ(std::string(image.constData(), static_cast<std::size_t>(image.size())), *built);
}
