qw_add_test(NAME test_keychain
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/KeychainStoreTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/KeychainCredentialLoaderTest.cpp
    LIBRARIES qw_engine)
