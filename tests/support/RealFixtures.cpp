#include "tests/support/RealFixtures.h"

#include <algorithm>
#include <cstdlib>

namespace quillmark::testing {

std::filesystem::path RealFixturesFolder() {
  std::filesystem::path folder;
  if (const char* named = std::getenv("QUILLMARK_FIXTURES"); named && *named)
    folder = named;
  else
    folder = std::filesystem::path(QUILLMARK_SOURCE_DIR) / ".." / "shared" / "fixtures" / "real";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return {};
  return std::filesystem::weakly_canonical(folder, error);
}

std::vector<std::filesystem::path> RealFixtureFiles() {
  std::vector<std::filesystem::path> files;
  std::filesystem::path folder = RealFixturesFolder();
  if (folder.empty()) return files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (entry.is_regular_file() && extension == ".mdf") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::filesystem::path RealFixture(const std::string& name) { return RealFixturesFolder() / name; }

const std::vector<RealFixtureFacts>& KnownRealFixtures() {
  static const std::vector<RealFixtureFacts> facts = {
      {"sql2000_distmdl.mdf", 539, 539, u"distmodel", 872468488, 288},
      {"sql2000_northwind.mdf", 539, 539, u"Northwind", 53284, 416},
      {"sql2005_aspnetdb.mdf", 611, 611, u"D:\\DESARROLLO\\KSI\\TRACTIS\\DEMO\\TRACTIS_DEMO\\APP_DATA\\ASPNETDB.MDF",
       53288, 280},
      {"sql2005_dnn_empty.mdf", 611, 611, u"C:\\DOTNETNUKE_BUILD\\WEBSITE\\APP_DATA\\DATABASE2.MDF", 872468488, 152},
      {"sql2005_pubs.mdf", 611, 539, u"pubs", 872468488, 272},
      {"sql2008_northwind_junktail.mdf", 655, 539, u"Northwind", 872468488, 464},
      {"sql2008_pubs.mdf", 655, 655, u"C:\\DBS\\PUBS.MDF", 53256, 288},
      {"sql2008_reportserver.mdf", 655, 655, u"ReportServer", 4104, 416},
      {"sql2008r2_aspnetdb.mdf", 661, 655,
       u"C:\\USERS\\JANELL\\DOCUMENTS\\JOSETTE\\PROJECT - COPY\\YBARFEMOS 12 1 13\\YNARES 8-24-12 "
       u"2.47PM\\YBAROS\\APP_DATA\\ASPNETDB.MDF",
       872468488, 272},
      {"sql2008r2_northwind.mdf", 661, 539, u"NORTHWND", 872468488, 432},
      {"sql2012_musicstore.mdf", 706, 706, u"MvcMusicStore", 872468488, 392},
      {"sql2012_nerddinner.mdf", 706, 706,
       u"C:\\USERS\\MICHAELP\\DOCUMENTS\\VISUAL STUDIO 2012\\PROJECTS\\NERDDINNER\\APP_DATA\\NERDDINNER.MDF", 872468488,
       392},
      {"sql2014_identity.mdf", 782, 782, u"aspnet-WebApplication1-20160915021009", 872468488, 408},
      {"sql2014_pubs.mdf", 782, 782,
       u"C:\\USERS\\NUNO SILVA\\DOCUMENTS\\VISUAL STUDIO 2015\\PROJECTS\\EDCREPO\\EDC-TP2\\PUBS.MDF", 872468488, 408},
      {"sql2016_v851_knowledge.mdf", 851, 782, u"D:\\PROJECT\\WT\\EXPLORE-KNOWLEDGE\\APP_DATA\\DATABASE.MDF", 872468488,
       400},
      {"sql2016_webtonic.mdf", 852, 782, u"C:\\USERS\\SPHIWE\\SOURCE\\REPOS\\WEBTONIC\\APP_DATA\\SCHOOL.MDF", 872468488,
       408},
      {"sql2017_dnn_empty.mdf", 869, 611, u"D:\\WORK\\GERALDN3\\DEVOPS-DNN-DNNDEV.ME\\WEBSITE\\APP_DATA\\DATABASE.MDF",
       872468488, 408},
      {"sql2019_articles.mdf", 904, 782, u"C:\\USERS\\\u042F\u041D\\DESKTOP\\WEBFORMS\\APP_DATA\\DATABASE1.MDF", 872468488,
       408},
  };
  return facts;
}

}  // namespace quillmark::testing
