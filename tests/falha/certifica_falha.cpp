// Stands in for the certification library when a test needs it to fail.
extern "C" __attribute__((visibility("default"))) int CertificaArquivo(const char*, const char*) {
  return 7;
}
